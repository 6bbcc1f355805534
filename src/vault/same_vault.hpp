#pragma once

#include "crypto/secret.hpp"
#include "vault/records.hpp"

namespace velkaron {

// Whether `found`, read from the vault file, is the vault of which `held` is a copy sealed with
// `key`: decided from what `found` carries, a recovery record identical to held's or an entry
// that opens with the key. A vault with neither counts as another one.
[[nodiscard]] bool same_vault(const VaultFile& held, const VaultFile& found, const VaultKey& key);

}  // namespace velkaron
