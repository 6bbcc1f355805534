#include "entries/entry_detail.hpp"

namespace velkaron {

void write_entry_detail(json::DataWriter& out, std::string_view id, const Entry& entry) {
    json::ObjectWriter object(out);
    object.member("host").string(entry.host);
    object.member("id").string(id);
    object.member("password").string(entry.password);
    object.member("title").string(entry.title);
    object.member("username").string(entry.username);
    object.close();
}

}  // namespace velkaron
