// An entry plaintext through read_entry and back through write_entry. Whatever reads must
// write, read back to the same six members, and write the same bytes again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "entries/entry.hpp"

namespace {

bool same(const velkaron::Entry& a, const velkaron::Entry& b) {
    return a.host == b.host && a.username == b.username && a.password == b.password &&
           a.title == b.title && a.created_at == b.created_at && a.updated_at == b.updated_at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view plaintext(reinterpret_cast<const char*>(data), size);
    const auto entry = velkaron::read_entry(plaintext);
    if (!entry) {
        if (entry.error().find(" at line ") == std::string_view::npos) std::abort();
        return 0;
    }
    const auto written = velkaron::write_entry(*entry);
    if (!written) std::abort();
    const auto again = velkaron::read_entry(written->view());
    if (!again || !same(*again, *entry)) std::abort();
    const auto rewritten = velkaron::write_entry(*again);
    if (!rewritten || rewritten->view() != written->view()) std::abort();
    return 0;
}
