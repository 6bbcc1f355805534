#include "state/vault_access.hpp"

#include "vault/storage.hpp"

namespace velkaron {
namespace {

constexpr char LOCKED[] = "Tresor ist gesperrt";

}  // namespace

Result<VaultFile*> loaded_vault(HostState& state) {
    if (!state.vault) return fail("kein Tresor geladen");
    return &*state.vault;
}

Result<VaultFile*> unlocked_vault(HostState& state) {
    if (!state.unlocked()) return fail(LOCKED);
    return &*state.vault;
}

Result<const VaultKey*> vault_key(const HostState& state) {
    if (!state.unlocked()) return fail(LOCKED);
    return &*state.key;
}

Result<VaultFile*> loaded_or_read_vault(HostState& state) {
    if (!state.vault) {
        auto read = load_vault(state.path);
        if (!read) return fail(std::move(read.error()));
        state.vault = std::move(*read);
    }
    return &*state.vault;
}

}  // namespace velkaron
