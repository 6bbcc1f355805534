#pragma once

// The one place where operations get the vault in memory: each helper gives the vault (or the
// key) or the message for the state the host is in. Those that give the vault first compare
// the vault file with the version in memory (one stat) and read it again when another program
// has changed it: a file of the same vault replaces the copy and keeps the key, another vault
// replaces it and drops the key. A changed file that does not read is not taken.

#include "base/result.hpp"
#include "crypto/secret.hpp"
#include "state/host_state.hpp"
#include "vault/records.hpp"
#include "vault/storage.hpp"

namespace velkaron {

// The vault in memory, or "kein Tresor geladen".
[[nodiscard]] Result<VaultFile*> loaded_vault(HostState& state);

// The vault of an unlocked host, or "Tresor ist gesperrt"; a key is only ever held together
// with its vault.
[[nodiscard]] Result<VaultFile*> unlocked_vault(HostState& state);

// The vault key, or "Tresor ist gesperrt". Never looks at the file: it is asked once per entry.
[[nodiscard]] Result<const VaultKey*> vault_key(const HostState& state);

// The vault in memory, read from the vault file first when there is none; fails with the
// messages of load_vault and leaves nothing in memory then.
[[nodiscard]] Result<VaultFile*> loaded_or_read_vault(HostState& state);

}  // namespace velkaron
