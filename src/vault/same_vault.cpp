#include "vault/same_vault.hpp"

#include <algorithm>

#include "crypto/seal.hpp"

namespace velkaron {

bool same_vault(const VaultFile& held, const VaultFile& found, const VaultKey& key) {
    // The recovery record is written once, at creation: password changes leave it alone.
    if (held.recovery && found.recovery && *held.recovery == *found.recovery) return true;
    const Key32 working = key.copy();
    return std::any_of(found.entries.begin(), found.entries.end(), [&](const SealedEntry& entry) {
        return unseal(entry.sealed, working, entry.id).has_value();
    });
}

}  // namespace velkaron
