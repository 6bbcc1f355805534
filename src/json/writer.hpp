#pragma once

// Compact JSON written straight into a buffer, byte for byte as nlohmann's dump() without
// indent, with raw UTF-8 and the strict error handler writes it; the response of every request
// goes through here, and dump() costs more than building its document.

#include <algorithm>
#include <cassert>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/secret_string.hpp"
#include "json/json.hpp"

namespace velkaron::json {

namespace detail {
struct FieldCore;
}

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

// Decimal digits of `value`, exactly as dump() writes an integer.
template <class Out, std::integral Integer>
requires(!std::same_as<Integer, bool>) void append_integer(Out& out, Integer value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// JSON written straight into `Out`: response data into the line, for answers that would cost
// more as a document tree than as the bytes themselves (list, for-host), and the vault file.
// Written exactly as append_value would write the same data as a Json. A text that is not UTF-8
// is left out and remembered: the response then cannot be encoded.
template <class Out>
class BasicDataWriter {
  public:
    explicit BasicDataWriter(Out& out) noexcept : out_(out) {}

    // JSON punctuation, which the caller knows to be compact JSON.
    void raw(std::string_view json) { out_ += json; }
    void string(std::string_view text) {
        if (!append_string(out_, text)) encodable_ = false;
    }
    void number(std::uint64_t value) { append_integer(out_, value); }
    void boolean(bool value) { out_ += value ? "true" : "false"; }
    void null() { out_ += "null"; }
    // `opening` ('{' or ','), then the member name `name`, which needs no escaping, and its
    // colon; in one step, as the lists of a large vault write hundreds of thousands of them.
    void member_name(char opening, std::string_view name) {
        const std::size_t at = out_.size();
        out_.resize(at + name.size() + 4);
        char* to = out_.data() + at;
        *to++ = opening;
        *to++ = '"';
        to = std::copy(name.begin(), name.end(), to);
        *to++ = '"';
        *to = ':';
    }
    // Room for `more` bytes beyond what is written, for an answer of about known size.
    void reserve(std::size_t more) { out_.reserve(out_.size() + more); }

    [[nodiscard]] bool encodable() const noexcept { return encodable_; }

  private:
    Out& out_;
    bool encodable_ = true;
};

using DataWriter = BasicDataWriter<SecretString>;

// The order an object's members must be written in. Response data takes the order Json keeps,
// by name, so that data written here and data built as a Json come out alike; the vault file
// takes the order its reader's field table declares.
class MemberOrder {
  public:
    [[nodiscard]] static constexpr MemberOrder by_name() noexcept { return {}; }
    template <class Table>
    constexpr explicit MemberOrder(const Table& fields) noexcept
        : fields_(fields.cores.data()), field_count_(fields.cores.size()) {}

    // Whether `name` may follow `previous` as member number `index`.
    [[nodiscard]] bool allows(std::size_t index, std::string_view previous,
                              std::string_view name) const noexcept;
    // Whether an object of `count` members is complete.
    [[nodiscard]] bool complete(std::size_t count) const noexcept;

  private:
    constexpr MemberOrder() noexcept = default;

    const detail::FieldCore* fields_ = nullptr;  // null: by name
    std::size_t field_count_ = 0;
};

// One object, written member by member in its declared order; debug builds refuse another
// order (and, for a field table, a member left out), so that no writer keeps the order by hand
// unchecked. The names are the caller's constants and need no escaping.
template <class Out>
class ObjectWriter {
  public:
    explicit ObjectWriter(BasicDataWriter<Out>& out,
                          MemberOrder order = MemberOrder::by_name()) noexcept
        : out_(out), order_(order) {}

    // Opens the object or continues it with the member `name`; its value follows through the
    // writer returned.
    BasicDataWriter<Out>& member(std::string_view name) {
        assert(order_.allows(count_, previous_, name) && "member out of its declared order");
        out_.member_name(count_ == 0 ? '{' : ',', name);
        previous_ = name;
        ++count_;
        return out_;
    }
    void close() {
        assert(order_.complete(count_) && "object without all its members");
        out_.raw(count_ == 0 ? "{}" : "}");
    }

  private:
    BasicDataWriter<Out>& out_;
    MemberOrder order_;
    std::string_view previous_;
    std::size_t count_ = 0;
};

// One array, written element by element.
template <class Out>
class ArrayWriter {
  public:
    explicit ArrayWriter(BasicDataWriter<Out>& out) noexcept : out_(out) {}

    BasicDataWriter<Out>& element() {
        out_.raw(count_++ == 0 ? "[" : ",");
        return out_;
    }
    void close() { out_.raw(count_ == 0 ? "[]" : "]"); }

  private:
    BasicDataWriter<Out>& out_;
    std::size_t count_ = 0;
};

// `value` in compact form, objects in the order Json keeps them (by name). False, with `out`
// partly written, when a string or a member name is not UTF-8.
[[nodiscard]] bool append_value(SecretString& out, const Json& value);

}  // namespace velkaron::json
