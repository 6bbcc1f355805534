#include "entries/entry_detail.hpp"

namespace velkaron {

Json entry_detail(std::string_view id, const Entry& entry) {
    Json detail(Json::value_t::object);
    auto& members = detail.get_ref<Json::object_t&>();
    members.emplace("host", entry.host.view());
    members.emplace("id", id);
    members.emplace("password", entry.password.view());
    members.emplace("title", entry.title.view());
    members.emplace("username", entry.username.view());
    return detail;
}

}  // namespace velkaron
