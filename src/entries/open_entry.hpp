#pragma once

#include "base/result.hpp"
#include "entries/entry.hpp"
#include "state/host_state.hpp"
#include "vault/records.hpp"

namespace velkaron {

// Unseals one stored entry under its id with the vault key and reads it. Fails with
// "Tresor ist gesperrt", with unseal's message, or with "Eintrag beschädigt: <fault>".
[[nodiscard]] Result<Entry> open_entry(const HostState& state, const SealedEntry& stored);

}  // namespace velkaron
