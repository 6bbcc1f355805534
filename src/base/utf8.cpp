#include "base/utf8.hpp"

namespace velkaron {

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
    for (const char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
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

}  // namespace velkaron
