#include "entries/entry_detail.hpp"

namespace velkaron {

void write_entry_detail(json::DataWriter& out, std::string_view id, const Entry& entry) {
    out.raw(R"({"host":)");
    out.string(entry.host);
    out.raw(R"(,"id":)");
    out.string(id);
    out.raw(R"(,"password":)");
    out.string(entry.password);
    out.raw(R"(,"title":)");
    out.string(entry.title);
    out.raw(R"(,"username":)");
    out.string(entry.username);
    out.raw("}");
}

}  // namespace velkaron
