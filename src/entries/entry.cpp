#include "entries/entry.hpp"

#include <sodium.h>

#include <array>

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

void wipe(std::string& text) noexcept {
    sodium_memzero(text.data(), text.capacity());
}

}  // namespace

Entry::~Entry() {
    wipe(host);
    wipe(username);
    wipe(password);
    wipe(title);
}

Result<SecretBytes> write_entry(const Entry& entry) {
    // Reserved for the worst case, every byte a six-character escape, so the buffer never
    // moves and leaves no stale copy of the password behind.
    const std::size_t text_size =
        entry.host.size() + entry.username.size() + entry.password.size() + entry.title.size();
    std::string out;
    out.reserve(6 * text_size + 160);
    const auto member = [&out](std::string_view name, std::string_view value) {
        out += name;
        return json::append_string(out, value);
    };
    const bool written =
        member(R"({"host":)", entry.host) && member(R"(,"username":)", entry.username) &&
        member(R"(,"password":)", entry.password) && member(R"(,"title":)", entry.title);
    out += R"(,"created_at":)" + std::to_string(entry.created_at) + R"(,"updated_at":)" +
           std::to_string(entry.updated_at) + "}";
    Result<SecretBytes> plaintext = SecretBytes(out.data(), out.size());
    if (!written) plaintext = fail("a string is not valid UTF-8");
    sodium_memzero(out.data(), out.capacity());
    return plaintext;
}

Result<Entry> read_entry(std::string_view plaintext) {
    return json::read_record(plaintext, ENTRY_SCHEMA);
}

}  // namespace velkaron
