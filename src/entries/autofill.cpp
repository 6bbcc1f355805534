#include "entries/autofill.hpp"

#include "entries/entry_detail.hpp"
#include "entries/host_match.hpp"
#include "entries/open_entry.hpp"

namespace velkaron {

Result<nlohmann::json> entries_for_host(const HostState& state, std::string_view host) {
    if (!state.vault) return fail("kein Tresor geladen");
    const HostMatcher matcher(host);
    nlohmann::json found = nlohmann::json::array();
    // Every entry is opened, matching or not: a damaged one fails the whole look-up.
    for (const SealedEntry& stored : state.vault->entries) {
        auto entry = open_entry(state, stored);
        if (!entry) return fail(std::move(entry.error()));
        if (matcher.matches(entry->host))
            found.push_back(entry_detail(stored.id, std::move(*entry)));
    }
    return found;
}

}  // namespace velkaron
