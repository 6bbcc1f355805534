#include "json/writer.hpp"

#include <array>
#include <cstdint>

#include "base/utf8.hpp"
#include "json/reader.hpp"

namespace velkaron::json {
namespace {

constexpr std::array<bool, 256> ESCAPED = [] {
    std::array<bool, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) {
        table[c] = escaped_in_string(static_cast<unsigned char>(c));
    }
    return table;
}();

// The letter of each character's two-character escape; 0 for those written \u00xx.
constexpr std::array<char, 256> SHORT_ESCAPE = [] {
    std::array<char, 256> table{};
    table['"'] = '"';
    table['\\'] = '\\';
    table['\b'] = 'b';
    table['\t'] = 't';
    table['\n'] = 'n';
    table['\f'] = 'f';
    table['\r'] = 'r';
    return table;
}();

// How many bytes each byte takes inside a JSON string, as append_string writes it.
constexpr std::array<std::uint8_t, 256> ESCAPED_SIZE = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) {
        table[c] = !ESCAPED[c] ? 1 : SHORT_ESCAPE[c] != 0 ? 2 : 6;
    }
    return table;
}();

}  // namespace

template <class Out>
bool append_string(Out& out, std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    // The first pass counts the bytes to escape and notes whether any byte is not ASCII; only
    // such text, rare in responses, is then checked to be UTF-8. It has no table look-up, so
    // the compiler can take many bytes at a time: most texts escape nothing and are then
    // copied whole. Text with escapes is sized exactly and written into room made once:
    // appending escape by escape costs several times as much on text full of quotes, such as a
    // response cut into chunks.
    std::size_t escapes = 0;
    unsigned char high_bits = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        high_bits |= c;
        escapes += escaped_in_string(c) ? 1 : 0;
    }
    if ((high_bits & 0x80) != 0 && !is_utf8(text)) return false;
    if (escapes == 0) {
        out += '"';
        out += text;
        out += '"';
        return true;
    }
    std::size_t size = 2;
    for (const char ch : text) size += ESCAPED_SIZE[static_cast<unsigned char>(ch)];
    const std::size_t start = out.size();
    out.resize(start + size);
    char* at = out.data() + start;
    *at++ = '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (!ESCAPED[c]) {
            *at++ = ch;
            continue;
        }
        *at++ = '\\';
        if (const char letter = SHORT_ESCAPE[c]; letter != 0) {
            *at++ = letter;
        } else {
            *at++ = 'u';
            *at++ = '0';
            *at++ = '0';
            *at++ = HEX[c >> 4];
            *at++ = HEX[c & 0xF];
        }
    }
    *at = '"';
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

bool MemberOrder::allows(std::size_t index, std::string_view previous,
                         std::string_view name) const noexcept {
    if (fields_ == nullptr) return index == 0 || previous < name;
    return index < field_count_ && fields_[index].name == name;
}

bool MemberOrder::complete(std::size_t count) const noexcept {
    return fields_ == nullptr || count == field_count_;
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
