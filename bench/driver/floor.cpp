#include "floor.hpp"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace velkaron::bench {
namespace {

constexpr std::uint8_t INVALID = 0xFF;

constexpr std::array<std::uint8_t, 256> make_table() {
    constexpr std::string_view ALPHABET =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::array<std::uint8_t, 256> table{};
    table.fill(INVALID);
    for (std::size_t i = 0; i < ALPHABET.size(); ++i) {
        table[static_cast<unsigned char>(ALPHABET[i])] = static_cast<std::uint8_t>(i);
    }
    table['='] = 0;  // padding decodes as zero bits; the bytes it stands for are dropped
    return table;
}

constexpr std::array<std::uint8_t, 256> TABLE = make_table();

std::size_t largest(const std::vector<SealedEntry>& entries, std::string Sealed::*part) {
    std::size_t size = 0;
    for (const auto& entry : entries) size = std::max(size, (entry.sealed.*part).size());
    return size / 4 * 3;
}

}  // namespace

std::optional<std::size_t> decode_base64_into(std::string_view text, unsigned char* out) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::uint8_t seen = 0;  // the bits of every sextet; INVALID leaves its top bit set
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const std::uint8_t a = TABLE[static_cast<unsigned char>(text[i])];
        const std::uint8_t b = TABLE[static_cast<unsigned char>(text[i + 1])];
        const std::uint8_t c = TABLE[static_cast<unsigned char>(text[i + 2])];
        const std::uint8_t d = TABLE[static_cast<unsigned char>(text[i + 3])];
        seen |= a | b | c | d;
        const std::uint32_t group = std::uint32_t{a} << 18 | std::uint32_t{b} << 12 |
                                    std::uint32_t{c} << 6 | std::uint32_t{d};
        *out++ = static_cast<unsigned char>(group >> 16);
        *out++ = static_cast<unsigned char>(group >> 8);
        *out++ = static_cast<unsigned char>(group);
    }
    if ((seen & 0x80) != 0) return std::nullopt;
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    return text.size() / 4 * 3 - padding;
}

EntryFloor::EntryFloor(std::vector<SealedEntry> entries, Key32 key)
    : entries_(std::move(entries)),
      key_(std::move(key)),
      nonce_(largest(entries_, &Sealed::nonce)),
      ciphertext_(largest(entries_, &Sealed::ct)),
      plaintext_(ciphertext_.size()) {}

std::size_t EntryFloor::open_all() {
    std::size_t opened = 0;
    for (const SealedEntry& entry : entries_) {
        const auto nonce_size = decode_base64_into(entry.sealed.nonce, nonce_.data());
        const auto ct_size = decode_base64_into(entry.sealed.ct, ciphertext_.data());
        unsigned long long plaintext_size = 0;
        if (nonce_size != crypto_aead_xchacha20poly1305_ietf_NPUBBYTES || !ct_size ||
            crypto_aead_xchacha20poly1305_ietf_decrypt(
                plaintext_.data(), &plaintext_size, nullptr, ciphertext_.data(), *ct_size,
                reinterpret_cast<const unsigned char*>(entry.id.data()), entry.id.size(),
                nonce_.data(), key_.data()) != 0) {
            throw std::runtime_error("floor: entry " + entry.id + " does not open");
        }
        // JSON text holds no raw NUL, so the search reads the whole plaintext.
        if (std::memchr(plaintext_.data(), '\0', plaintext_size) != nullptr) {
            throw std::runtime_error("floor: entry " + entry.id + " holds a NUL byte");
        }
        opened += plaintext_size;
    }
    return opened;
}

}  // namespace velkaron::bench
