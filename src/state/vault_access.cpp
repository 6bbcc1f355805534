#include "state/vault_access.hpp"

namespace velkaron {

Result<VaultFile*> loaded_vault(HostState& state) {
    if (!state.vault()) return fail(NOT_LOADED);
    state.follow_file();
    return state.vault();
}

// Asked twice: following the file may have found another vault there and dropped the key.
Result<VaultFile*> unlocked_vault(HostState& state) {
    if (state.unlocked()) state.follow_file();
    if (!state.unlocked()) return fail(LOCKED);
    return state.vault();
}

Result<const VaultKey*> vault_key(const HostState& state) {
    if (!state.unlocked()) return fail(LOCKED);
    return state.key();
}

Result<VaultFile*> loaded_or_read_vault(HostState& state) {
    if (state.vault()) {
        state.follow_file();
        return state.vault();
    }
    VELKARON_TRY(read, load_vault(state.path()));
    state.adopt(std::move(read->vault), std::move(read->version));
    return state.vault();
}

}  // namespace velkaron
