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

}  // namespace velkaron
