#include "entries/open_entry.hpp"

#include "state/vault_access.hpp"

namespace velkaron {

Result<Entry*> EntryOpener::open(const SealedEntry& stored) {
    VELKARON_TRY(vault_key_held, vault_key(state_));
    const Key32 key = (*vault_key_held)->copy();
    VELKARON_TRY(plaintext, unsealer_.open(stored.sealed, key, stored.id));
    auto read = read_entry_into(*plaintext, entry_);
    unsealer_.wipe();
    if (!read) return fail("Eintrag beschädigt: " + read.error());
    return &entry_;
}

Result<Entry> open_entry(const HostState& state, const SealedEntry& stored) {
    EntryOpener opener(state);
    VELKARON_TRY(entry, opener.open(stored));
    return std::move(**entry);
}

}  // namespace velkaron
