#include "entries/entry.hpp"

#include <array>

#include "base/wire_texts.hpp"
#include "entries/entry_form.hpp"
#include "entries/entry_scan.hpp"
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

}  // namespace

Result<SecretString> write_entry(const Entry& entry) {
    namespace form = entry_form;
    SecretString out;
    out.reserve(entry.host.size() + entry.username.size() + entry.password.size() +
                entry.title.size() + 128);
    const auto member = [&out](std::string_view opening, std::string_view value) {
        out += opening;
        return json::append_string(out, value);
    };
    const bool written = member(form::HOST, entry.host) && member(form::USERNAME, entry.username) &&
                         member(form::PASSWORD, entry.password) && member(form::TITLE, entry.title);
    if (!written) return fail(std::string(wire::NOT_UTF8_STRING));
    out += form::CREATED_AT;
    json::append_integer(out, entry.created_at);
    out += form::UPDATED_AT;
    json::append_integer(out, entry.updated_at);
    out += form::END;
    return out;
}

Result<Entry> read_entry(std::string_view plaintext) {
    return json::read_record(plaintext, ENTRY_SCHEMA);
}

Status read_entry_into(std::string_view plaintext, Entry& entry) {
    if (scan_entry(plaintext, entry)) return {};
    VELKARON_TRY(read, read_entry(plaintext));
    entry = std::move(*read);
    return {};
}

}  // namespace velkaron
