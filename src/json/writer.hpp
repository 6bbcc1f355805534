#pragma once

// Compact JSON written straight into a buffer, byte for byte as nlohmann's dump() without
// indent, with raw UTF-8 and the strict error handler writes it; the response of every request
// goes through here, and dump() costs more than building its document.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/secret_string.hpp"
#include "json/json.hpp"

namespace velkaron::json {

// Whether append_string writes the byte `c` escaped: control characters, the quotation mark and
// the reverse solidus.
[[nodiscard]] constexpr bool escaped_in_string(unsigned char c) noexcept {
    return c < 0x20 || c == '"' || c == '\\';
}

// `text` as a JSON string: the quotation mark, the reverse solidus and U+0008, U+0009, U+000A,
// U+000C, U+000D take their two-character escapes, the other characters below U+0020
// \u00xx in lower case, everything else stays as it is. False, with nothing written, when
// `text` is not UTF-8.
// Written into a std::string (the vault file) or a SecretString (response lines, entry
// plaintexts).
template <class Out>
[[nodiscard]] bool append_string(Out& out, std::string_view text);

// The length of the longest prefix of the UTF-8 `text` that ends on a character boundary and
// whose JSON string form, quotation marks included, takes at most `budget` bytes; for cutting a
// long text into strings of bounded size.
[[nodiscard]] std::size_t string_prefix_within(std::string_view text, std::size_t budget) noexcept;

// Response data written straight into the line, for answers that would cost more as a document
// tree than as the bytes themselves (list, for-host). Written exactly as append_value would
// write the same data as a Json. A text that is not UTF-8 is left out and remembered: the
// response then cannot be encoded.
class DataWriter {
  public:
    explicit DataWriter(SecretString& out) noexcept : out_(out) {}

    // JSON punctuation and member names, which the caller knows to be compact JSON.
    void raw(std::string_view json) { out_ += json; }
    void string(std::string_view text) {
        if (!append_string(out_, text)) encodable_ = false;
    }
    void number(std::uint64_t value);
    // Room for `more` bytes beyond what is written, for an answer of about known size.
    void reserve(std::size_t more) { out_.reserve(out_.size() + more); }

    [[nodiscard]] bool encodable() const noexcept { return encodable_; }

  private:
    SecretString& out_;
    bool encodable_ = true;
};

// `value` in compact form, objects in the order Json keeps them (by name). False, with `out`
// partly written, when a string or a member name is not UTF-8.
[[nodiscard]] bool append_value(SecretString& out, const Json& value);

}  // namespace velkaron::json
