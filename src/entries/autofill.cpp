#include "entries/autofill.hpp"

#include "entries/entry_detail.hpp"
#include "entries/host_match.hpp"
#include "entries/open_entry.hpp"
#include "state/vault_access.hpp"

namespace velkaron {

Status entries_for_host(HostState& state, std::string_view host, json::DataWriter& out) {
    VELKARON_TRY(vault, loaded_vault(state));
    const HostMatcher matcher(host);
    EntryOpener opener(state);
    json::ArrayWriter matches(out);
    // Every entry is opened, matching or not: a damaged one fails the whole look-up.
    for (const SealedEntry& stored : (*vault)->entries) {
        VELKARON_TRY(entry, opener.open(stored));
        if (!matcher.matches((*entry)->host)) continue;
        write_entry_detail(matches.element(), stored.id, **entry);
    }
    matches.close();
    return {};
}

}  // namespace velkaron
