#pragma once

#include <cstdint>
#include <string_view>

namespace velkaron {

// Strict UTF-8 (RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF), fed in
// pieces of any size, that also tells whether every character so far was Unicode White_Space.
class Utf8Scanner {
  public:
    // False once the bytes are not UTF-8; stays false.
    bool feed(std::string_view bytes) noexcept;
    // True when the bytes fed so far are valid and end on a character boundary.
    [[nodiscard]] bool complete() const noexcept { return valid_ && needed_ == 0; }
    [[nodiscard]] bool blank() const noexcept { return blank_; }

  private:
    void take(char32_t c) noexcept;

    bool valid_ = true;
    bool blank_ = true;
    std::uint8_t needed_ = 0;                   // continuation bytes still expected
    std::uint8_t lower_ = 0x80, upper_ = 0xBF;  // allowed range of the next continuation byte
    char32_t code_point_ = 0;
};

[[nodiscard]] bool is_unicode_whitespace(char32_t c) noexcept;

// Whether `bytes`, whole, are UTF-8 as Utf8Scanner takes it.
[[nodiscard]] bool is_utf8(std::string_view bytes) noexcept;

}  // namespace velkaron
