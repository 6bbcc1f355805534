#include "host/status.hpp"

#include "vault/exists.hpp"

namespace velkaron {

Json status(const HostState& state) {
    // Member by member: the initializer-list form builds and discards a pair array per member,
    // which costs more than the rest of a status request together.
    Json data(Json::value_t::object);
    data["entries"] = state.vault ? state.vault->entries.size() : 0;
    data["exists"] = vault_exists(state.path);
    data["unlocked"] = state.unlocked();
    return data;
}

Json lock(HostState& state) {
    state.lock();
    return {{"unlocked", false}};
}

}  // namespace velkaron
