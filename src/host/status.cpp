#include "host/status.hpp"

#include "vault/exists.hpp"

namespace velkaron {

nlohmann::json status(const HostState& state) {
    return {{"entries", state.vault ? state.vault->entries.size() : 0},
            {"exists", vault_exists(state)},
            {"unlocked", state.unlocked()}};
}

nlohmann::json lock(HostState& state) {
    state.lock();
    return {{"unlocked", false}};
}

}  // namespace velkaron
