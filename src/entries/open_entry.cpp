#include "entries/open_entry.hpp"

#include "crypto/seal.hpp"

namespace velkaron {

Result<Entry> open_entry(const HostState& state, const SealedEntry& stored) {
    if (!state.unlocked()) return fail("Tresor ist gesperrt");
    const Key32 key = state.key->copy();
    auto plaintext = unseal(stored.sealed, key, stored.id);
    if (!plaintext) return fail(std::move(plaintext.error()));
    auto entry = read_entry(plaintext->view());
    if (!entry) return fail("Eintrag beschädigt: " + entry.error());
    return entry;
}

}  // namespace velkaron
