#include "crypto/base64.hpp"

#include <array>
#include <cstdint>

namespace velkaron {
namespace {

constexpr std::string_view ALPHABET =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char PAD = '=';
constexpr std::uint8_t INVALID = 0xFF;

constexpr std::array<std::uint8_t, 256> make_decode_table() {
    std::array<std::uint8_t, 256> table{};
    table.fill(INVALID);
    for (std::size_t i = 0; i < ALPHABET.size(); ++i) {
        table[static_cast<unsigned char>(ALPHABET[i])] = static_cast<std::uint8_t>(i);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> DECODE = make_decode_table();

std::uint8_t sextet(char c) {
    return DECODE[static_cast<unsigned char>(c)];
}

}  // namespace

std::string base64_encode(std::span<const unsigned char> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group =
            std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        text += ALPHABET[group >> 18 & 63];
        text += ALPHABET[group >> 12 & 63];
        text += ALPHABET[group >> 6 & 63];
        text += ALPHABET[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest != 0) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) group |= std::uint32_t{bytes[i + 1]} << 8;
        text += ALPHABET[group >> 18 & 63];
        text += ALPHABET[group >> 12 & 63];
        text += rest == 2 ? ALPHABET[group >> 6 & 63] : PAD;
        text += PAD;
    }
    return text;
}

std::optional<std::vector<unsigned char>> base64_decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == PAD) padding = text[text.size() - 2] == PAD ? 2 : 1;

    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3 - padding);
    const std::size_t data_chars = text.size() - padding;
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < data_chars; ++i) {
        const std::uint8_t value = sextet(text[i]);
        if (value == INVALID) return std::nullopt;  // also a "=" before the padding
        group = group << 6 | value;
        if (i % 4 == 3) {
            bytes.push_back(static_cast<unsigned char>(group >> 16));
            bytes.push_back(static_cast<unsigned char>(group >> 8));
            bytes.push_back(static_cast<unsigned char>(group));
            group = 0;
        }
    }
    // One pad leaves three characters (18 bits) for two bytes, two pads leave two
    // characters (12 bits) for one byte; the bits left over must be zero.
    if (padding == 1) {
        if ((group & 0x3) != 0) return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(group >> 10));
        bytes.push_back(static_cast<unsigned char>(group >> 2));
    } else if (padding == 2) {
        if ((group & 0xF) != 0) return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(group >> 4));
    }
    return bytes;
}

}  // namespace velkaron
