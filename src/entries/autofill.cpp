#include "entries/autofill.hpp"

#include "entries/entry_detail.hpp"
#include "entries/host_match.hpp"
#include "entries/open_entry.hpp"
#include "state/vault_access.hpp"

namespace velkaron {

Result<Json> entries_for_host(HostState& state, std::string_view host) {
    const auto vault = loaded_vault(state);
    if (!vault) return fail(vault.error());
    const HostMatcher matcher(host);
    Json found = Json::array();
    // Every entry is opened, matching or not: a damaged one fails the whole look-up.
    for (const SealedEntry& stored : (*vault)->entries) {
        auto entry = open_entry(state, stored);
        if (!entry) return fail(std::move(entry.error()));
        if (matcher.matches(entry->host)) found.push_back(entry_detail(stored.id, *entry));
    }
    return found;
}

}  // namespace velkaron
