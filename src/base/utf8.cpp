#include "base/utf8.hpp"

#include <cstring>

namespace velkaron {
namespace {

// How many leading bytes of `bytes` are ASCII, counted eight at a time: vault files and request
// lines are nearly all ASCII.
std::size_t ascii_prefix(std::string_view bytes) noexcept {
    constexpr std::uint64_t HIGH_BITS = 0x8080808080808080;
    std::size_t n = 0;
    for (; n + sizeof(std::uint64_t) <= bytes.size(); n += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + n, sizeof word);
        if ((word & HIGH_BITS) != 0) break;
    }
    return n;
}

}  // namespace

bool is_unicode_whitespace(char32_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

void Utf8Scanner::take(char32_t c) noexcept {
    if (blank_ && !is_unicode_whitespace(c)) blank_ = false;
}

bool Utf8Scanner::feed(std::string_view bytes) noexcept {
    if (!valid_) return false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<std::uint8_t>(bytes[i++]);
        if (needed_ > 0) {
            if (b < lower_ || b > upper_) return valid_ = false;
            lower_ = 0x80;
            upper_ = 0xBF;
            code_point_ = (code_point_ << 6) | (b & 0x3F);
            if (--needed_ == 0) take(code_point_);
            continue;
        }
        if (b < 0x80) {
            take(b);
            // Once a character is not white space, ASCII needs no look at all.
            if (!blank_) i += ascii_prefix(bytes.substr(i));
        } else if (b >= 0xC2 && b <= 0xDF) {
            needed_ = 1;
            code_point_ = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            needed_ = 2;
            code_point_ = b & 0x0F;
            if (b == 0xE0) lower_ = 0xA0;  // overlong
            if (b == 0xED) upper_ = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            needed_ = 3;
            code_point_ = b & 0x07;
            if (b == 0xF0) lower_ = 0x90;  // overlong
            if (b == 0xF4) upper_ = 0x8F;  // above U+10FFFF
        } else {
            return valid_ = false;
        }
    }
    return true;
}

bool is_utf8(std::string_view bytes) noexcept {
    Utf8Scanner scanner;
    return scanner.feed(bytes) && scanner.complete();
}

}  // namespace velkaron
