#include "crypto/base64.hpp"

#include <sodium.h>

#include <algorithm>
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

// All ones when lo <= c <= hi, else zero, for c below 256; no branch depends on c.
constexpr std::uint32_t in_range(std::uint32_t c, std::uint32_t lo, std::uint32_t hi) {
    return 0U - (((lo - 1 - c) & (c - hi - 1)) >> 31);
}

// The value 0…63 of an alphabet character, or a value with bit 8 set for any other byte,
// computed without a table, so that the cache shows nothing of secret text.
constexpr std::uint32_t secret_sextet(unsigned char byte) {
    const std::uint32_t c = byte;
    const std::uint32_t upper = in_range(c, 'A', 'Z');
    const std::uint32_t lower = in_range(c, 'a', 'z');
    const std::uint32_t digit = in_range(c, '0', '9');
    const std::uint32_t plus = in_range(c, '+', '+');
    const std::uint32_t slash = in_range(c, '/', '/');
    const std::uint32_t value = (upper & (c - 'A')) | (lower & (c - 'a' + 26)) |
                                (digit & (c - '0' + 52)) | (plus & 62U) | (slash & 63U);
    return value | (~(upper | lower | digit | plus | slash) & 0x100U);
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

bool base64_decode_into(std::string_view text, std::vector<unsigned char>& bytes) {
    if (text.size() % 4 != 0) return false;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == PAD) padding = text[text.size() - 2] == PAD ? 2 : 1;
    // A padded text ends in one partial group; every other group holds three bytes.
    const std::size_t full_groups = text.size() / 4 - (padding != 0 ? 1 : 0);
    bytes.resize(text.size() / 4 * 3 - padding);
    unsigned char* out = bytes.data();
    const char* in = text.data();
    for (std::size_t g = 0; g < full_groups; ++g, in += 4, out += 3) {
        const std::uint8_t a = sextet(in[0]), b = sextet(in[1]), c = sextet(in[2]),
                           d = sextet(in[3]);
        // INVALID is the only value with its high bits set; a "=" before the padding is one.
        if ((a | b | c | d) & 0xC0) return false;
        const std::uint32_t group =
            std::uint32_t{a} << 18 | std::uint32_t{b} << 12 | std::uint32_t{c} << 6 | d;
        out[0] = static_cast<unsigned char>(group >> 16);
        out[1] = static_cast<unsigned char>(group >> 8);
        out[2] = static_cast<unsigned char>(group);
    }
    if (padding == 0) return true;
    // One pad leaves three characters (18 bits) for two bytes, two pads leave two
    // characters (12 bits) for one byte; the bits left over must be zero.
    const std::uint8_t a = sextet(in[0]), b = sextet(in[1]);
    const std::uint8_t c = padding == 1 ? sextet(in[2]) : 0;
    if ((a | b | c) & 0xC0) return false;
    if (padding == 1) {
        const std::uint32_t group = std::uint32_t{a} << 12 | std::uint32_t{b} << 6 | c;
        if ((group & 0x3) != 0) return false;
        out[0] = static_cast<unsigned char>(group >> 10);
        out[1] = static_cast<unsigned char>(group >> 2);
    } else {
        const std::uint32_t group = std::uint32_t{a} << 6 | b;
        if ((group & 0xF) != 0) return false;
        out[0] = static_cast<unsigned char>(group >> 4);
    }
    return true;
}

std::optional<std::vector<unsigned char>> base64_decode(std::string_view text) {
    std::vector<unsigned char> bytes;
    if (!base64_decode_into(text, bytes)) return std::nullopt;
    return bytes;
}

std::optional<SecretString> base64_decode_secret(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    // Where the padding stands tells only the length, which the size tells anyway.
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    SecretString bytes(text.size() / 4 * 3 - padding, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    char* out = bytes.data();
    std::uint32_t invalid = 0;
    // A block of sextets at a time, in two loops: the first, one byte in and one out, is
    // vectorised, which a loop doing both in one is not (an import's file is megabytes).
    constexpr std::size_t BLOCK = 4096;
    std::array<std::uint8_t, BLOCK> sextets;
    for (std::size_t left = text.size() - (padding > 0 ? 4 : 0); left > 0;) {
        const std::size_t n = std::min(left, BLOCK);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t value = secret_sextet(in[i]);
            invalid |= value;
            sextets[i] = static_cast<std::uint8_t>(value);
        }
        for (std::size_t i = 0; i < n; i += 4, out += 3) {
            const std::uint32_t bits = (std::uint32_t{sextets[i]} << 18) |
                                       (std::uint32_t{sextets[i + 1]} << 12) |
                                       (std::uint32_t{sextets[i + 2]} << 6) | sextets[i + 3];
            out[0] = static_cast<char>(bits >> 16);
            out[1] = static_cast<char>(bits >> 8);
            out[2] = static_cast<char>(bits);
        }
        in += n;
        left -= n;
    }
    sodium_memzero(sextets.data(), sextets.size());
    if (padding > 0) {
        const std::uint32_t a = secret_sextet(in[0]), b = secret_sextet(in[1]);
        const std::uint32_t c = padding == 1 ? secret_sextet(in[2]) : 0;
        invalid |= a | b | c;
        // The bits the padding stands for must be zero, as the encoder leaves them.
        invalid |= (padding == 1 ? c & 0x3U : b & 0xFU) << 8;
        const std::uint32_t bits = (a << 18) | (b << 12) | (c << 6);
        out[0] = static_cast<char>(bits >> 16);
        if (padding == 1) out[1] = static_cast<char>(bits >> 8);
    }
    if ((invalid & ~0xFFU) != 0) return std::nullopt;
    return bytes;
}

}  // namespace velkaron
