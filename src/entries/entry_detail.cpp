#include "entries/entry_detail.hpp"

namespace velkaron {

nlohmann::json entry_detail(std::string_view id, Entry&& entry) {
    nlohmann::json detail(nlohmann::json::value_t::object);
    auto& members = detail.get_ref<nlohmann::json::object_t&>();
    members.emplace("host", std::move(entry.host));
    members.emplace("id", id);
    members.emplace("password", std::move(entry.password));
    members.emplace("title", std::move(entry.title));
    members.emplace("username", std::move(entry.username));
    return detail;
}

}  // namespace velkaron
