#pragma once

// The one place where operations get the vault in memory: each helper gives the vault (or the
// key) or the message for the state the host is in.

#include "base/result.hpp"
#include "crypto/secret.hpp"
#include "state/host_state.hpp"
#include "vault/records.hpp"

namespace velkaron {

// The vault in memory, or "kein Tresor geladen".
[[nodiscard]] Result<VaultFile*> loaded_vault(HostState& state);

// The vault of an unlocked host, or "Tresor ist gesperrt"; a key is only ever held together
// with its vault.
[[nodiscard]] Result<VaultFile*> unlocked_vault(HostState& state);

// The vault key, or "Tresor ist gesperrt".
[[nodiscard]] Result<const VaultKey*> vault_key(const HostState& state);

// The vault in memory, read from the vault file first when there is none; fails with the
// messages of load_vault and leaves nothing in memory then.
[[nodiscard]] Result<VaultFile*> loaded_or_read_vault(HostState& state);

}  // namespace velkaron
