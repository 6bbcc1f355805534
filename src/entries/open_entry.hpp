#pragma once

#include "base/result.hpp"
#include "crypto/seal.hpp"
#include "entries/entry.hpp"
#include "state/host_state.hpp"
#include "vault/records.hpp"

namespace velkaron {

// Opens stored entries one after another into buffers it keeps from one to the next, so that
// a walk over every entry (list, for-host, put's search) allocates nothing per entry once
// they fit. Each plaintext is wiped as soon as it has been read.
class EntryOpener {
  public:
    explicit EntryOpener(const HostState& state) : state_(state) {}

    // Unseals `stored` under its id with the vault key and reads it; the entry stays valid
    // until the next call. Fails with "Tresor ist gesperrt", with unseal's message, or with
    // "Eintrag beschädigt: <fault>".
    [[nodiscard]] Result<Entry*> open(const SealedEntry& stored);

  private:
    const HostState& state_;
    Unsealer unsealer_;
    Entry entry_;
};

// One entry opened on its own, as EntryOpener opens it.
[[nodiscard]] Result<Entry> open_entry(const HostState& state, const SealedEntry& stored);

}  // namespace velkaron
