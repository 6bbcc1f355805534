#include "entries/open_entry.hpp"

#include "state/vault_access.hpp"

namespace velkaron {

Result<Entry*> EntryOpener::open(const SealedEntry& stored) {
    const auto vault_key_held = vault_key(state_);
    if (!vault_key_held) return fail(vault_key_held.error());
    const Key32 key = (*vault_key_held)->copy();
    auto plaintext = unsealer_.open(stored.sealed, key, stored.id);
    if (!plaintext) return fail(std::move(plaintext.error()));
    auto read = read_entry_into(*plaintext, entry_);
    unsealer_.wipe();
    if (!read) return fail("Eintrag beschädigt: " + read.error());
    return &entry_;
}

Result<Entry> open_entry(const HostState& state, const SealedEntry& stored) {
    EntryOpener opener(state);
    auto entry = opener.open(stored);
    if (!entry) return fail(std::move(entry.error()));
    return std::move(**entry);
}

}  // namespace velkaron
