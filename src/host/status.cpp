#include "host/status.hpp"

#include "vault/exists.hpp"

namespace velkaron {

void status(const HostState& state, json::DataWriter& out) {
    json::ObjectWriter object(out);
    object.member("entries").number(state.vault() ? state.vault()->entries.size() : 0);
    object.member("exists").boolean(vault_exists(state.path()));
    object.member("unlocked").boolean(state.unlocked());
    object.close();
}

Json lock(HostState& state) {
    state.lock();
    return {{"unlocked", false}};
}

}  // namespace velkaron
