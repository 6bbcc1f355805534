#include "entries/entry.hpp"

#include <array>
#include <charconv>

#include "json/reader.hpp"
#include "json/writer.hpp"

namespace velkaron {
namespace {

using json::field;

constexpr auto ENTRY_FIELDS = json::field_table(
    field<&Entry::host>("host"), field<&Entry::username>("username"),
    field<&Entry::password>("password"), field<&Entry::title>("title").optional(),
    field<&Entry::created_at>("created_at"), field<&Entry::updated_at>("updated_at"));

// Object form only: a plaintext is never written as an array.
constexpr json::Schema<Entry> ENTRY_SCHEMA{"struct Entry", ENTRY_FIELDS};

void append_integer(SecretString& out, std::uint64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace

Result<SecretString> write_entry(const Entry& entry) {
    SecretString out;
    out.reserve(entry.host.size() + entry.username.size() + entry.password.size() +
                entry.title.size() + 128);
    const auto member = [&out](std::string_view name, std::string_view value) {
        out += name;
        return json::append_string(out, value);
    };
    const bool written =
        member(R"({"host":)", entry.host) && member(R"(,"username":)", entry.username) &&
        member(R"(,"password":)", entry.password) && member(R"(,"title":)", entry.title);
    if (!written) return fail("a string is not valid UTF-8");
    out += R"(,"created_at":)";
    append_integer(out, entry.created_at);
    out += R"(,"updated_at":)";
    append_integer(out, entry.updated_at);
    out += '}';
    return out;
}

Result<Entry> read_entry(std::string_view plaintext) {
    return json::read_record(plaintext, ENTRY_SCHEMA);
}

}  // namespace velkaron
