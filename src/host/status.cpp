#include "host/status.hpp"

#include "vault/exists.hpp"

namespace velkaron {

void status(const HostState& state, json::DataWriter& out) {
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    out.raw(R"({"entries":)");
    out.number(state.vault() ? state.vault()->entries.size() : 0);
    out.raw(R"(,"exists":)");
    out.raw(flag(vault_exists(state.path())));
    out.raw(R"(,"unlocked":)");
    out.raw(flag(state.unlocked()));
    out.raw("}");
}

Json lock(HostState& state) {
    state.lock();
    return {{"unlocked", false}};
}

}  // namespace velkaron
