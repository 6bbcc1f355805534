#include "entries/open_entry.hpp"

#include "crypto/seal.hpp"
#include "state/vault_access.hpp"

namespace velkaron {

Result<Entry> open_entry(const HostState& state, const SealedEntry& stored) {
    const auto vault_key_held = vault_key(state);
    if (!vault_key_held) return fail(vault_key_held.error());
    const Key32 key = (*vault_key_held)->copy();
    auto plaintext = unseal(stored.sealed, key, stored.id);
    if (!plaintext) return fail(std::move(plaintext.error()));
    auto entry = read_entry(plaintext->view());
    if (!entry) return fail("Eintrag beschädigt: " + entry.error());
    return entry;
}

}  // namespace velkaron
