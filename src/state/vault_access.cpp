#include "state/vault_access.hpp"

#include "vault/same_vault.hpp"

namespace velkaron {
namespace {

constexpr char LOCKED[] = "Tresor ist gesperrt";

// A file half-written, damaged or gone is not taken: memory keeps answering, and a save
// refuses that file until it reads again.
void follow_file(HostState& state) {
    auto newer = newer_vault(state.path, state.version);
    if (!newer || !*newer) return;
    LoadedVault& found = **newer;
    if (state.key && !same_vault(*state.vault, found.vault, *state.key)) state.key.reset();
    state.vault = std::move(found.vault);
    state.version = std::move(found.version);
}

}  // namespace

Result<VaultFile*> loaded_vault(HostState& state) {
    if (!state.vault) return fail("kein Tresor geladen");
    follow_file(state);
    return &*state.vault;
}

// Asked twice: following the file may have found another vault there and dropped the key.
Result<VaultFile*> unlocked_vault(HostState& state) {
    if (state.unlocked()) follow_file(state);
    if (!state.unlocked()) return fail(LOCKED);
    return &*state.vault;
}

Result<const VaultKey*> vault_key(const HostState& state) {
    if (!state.unlocked()) return fail(LOCKED);
    return &*state.key;
}

Result<VaultFile*> loaded_or_read_vault(HostState& state) {
    if (state.vault) {
        follow_file(state);
        return &*state.vault;
    }
    auto read = load_vault(state.path);
    if (!read) return fail(std::move(read.error()));
    state.vault = std::move(read->vault);
    state.version = std::move(read->version);
    return &*state.vault;
}

Status change_vault(HostState& state, const VaultChange& change) {
    if (auto made = change(*state.vault); !made) return made;
    return save_vault(state.path, *state.vault, state.version, *state.key, change);
}

}  // namespace velkaron
