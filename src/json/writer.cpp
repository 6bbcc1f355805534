#include "json/writer.hpp"

#include <array>
#include <charconv>
#include <cstdint>

#include "base/utf8.hpp"

namespace velkaron::json {
namespace {

template <class Integer>
void append_integer(SecretString& out, Integer value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// The bytes that end a run copied as it is: control characters, quotation mark, reverse solidus.
constexpr std::array<bool, 256> ESCAPED = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = true;
    table['"'] = true;
    table['\\'] = true;
    return table;
}();

// How many bytes each byte takes inside a JSON string, as append_string writes it.
constexpr std::array<std::uint8_t, 256> ESCAPED_SIZE = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) table[c] = ESCAPED[c] ? 6 : 1;
    for (const char c : std::string_view("\"\\\b\t\n\f\r")) {
        table[static_cast<unsigned char>(c)] = 2;
    }
    return table;
}();

}  // namespace

template <class Out>
bool append_string(Out& out, std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    // One pass escapes and notes whether any byte is not ASCII; only such text, rare in
    // responses, is then checked to be UTF-8.
    const std::size_t start = out.size();
    out += '"';
    unsigned char high_bits = 0;
    std::size_t plain = 0;  // start of the run not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        high_bits |= c;
        if (!ESCAPED[c]) continue;
        out.append(text.data() + plain, i - plain);
        plain = i + 1;
        out += '\\';
        switch (c) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '\b':
                out += 'b';
                break;
            case '\t':
                out += 't';
                break;
            case '\n':
                out += 'n';
                break;
            case '\f':
                out += 'f';
                break;
            case '\r':
                out += 'r';
                break;
            default:
                out += "u00";
                out += HEX[c >> 4];
                out += HEX[c & 0xF];
        }
    }
    if ((high_bits & 0x80) != 0 && !is_utf8(text)) {
        out.resize(start);
        return false;
    }
    out.append(text.data() + plain, text.size() - plain);
    out += '"';
    return true;
}

template bool append_string(std::string& out, std::string_view text);
template bool append_string(SecretString& out, std::string_view text);

std::size_t string_prefix_within(std::string_view text, std::size_t budget) noexcept {
    constexpr std::size_t QUOTES = 2;
    if (budget < QUOTES) return 0;
    budget -= QUOTES;
    std::size_t size = 0;
    std::size_t character = 0;  // where the character holding the current byte starts
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) character = i;
        size += ESCAPED_SIZE[c];
        if (size > budget) return character;
    }
    return text.size();
}

void DataWriter::number(std::uint64_t value) {
    append_integer(out_, value);
}

bool append_value(SecretString& out, const Json& value) {
    using Type = Json::value_t;
    switch (value.type()) {
        case Type::object: {
            out += '{';
            bool first = true;
            for (const auto& [name, member] : value.get_ref<const Json::object_t&>()) {
                if (!first) out += ',';
                first = false;
                if (!append_string(out, name)) return false;
                out += ':';
                if (!append_value(out, member)) return false;
            }
            out += '}';
            return true;
        }
        case Type::array: {
            out += '[';
            bool first = true;
            for (const auto& element : value.get_ref<const Json::array_t&>()) {
                if (!first) out += ',';
                first = false;
                if (!append_value(out, element)) return false;
            }
            out += ']';
            return true;
        }
        case Type::string:
            return append_string(out, value.get_ref<const Json::string_t&>());
        case Type::boolean:
            out += value.get<bool>() ? "true" : "false";
            return true;
        case Type::null:
            out += "null";
            return true;
        case Type::number_integer:
            append_integer(out, value.get<std::int64_t>());
            return true;
        case Type::number_unsigned:
            append_integer(out, value.get<std::uint64_t>());
            return true;
        default:
            // Floating point, binary and discarded values never occur in responses; the library
            // writes them, so that its format stays the only one.
            out += value.dump();
            return true;
    }
}

}  // namespace velkaron::json
