#include "entries/operations.hpp"

#include <algorithm>
#include <tuple>

#include "entries/entry_detail.hpp"
#include "entries/open_entry.hpp"
#include "state/vault_access.hpp"

namespace velkaron {
namespace {

struct Summary {
    std::string_view id;
    std::string host;
    std::string username;
    std::string title;
    std::uint64_t updated_at;
};

nlohmann::json summary_json(Summary&& summary) {
    nlohmann::json item(nlohmann::json::value_t::object);
    auto& members = item.get_ref<nlohmann::json::object_t&>();
    members.emplace("host", std::move(summary.host));
    members.emplace("id", summary.id);
    members.emplace("title", std::move(summary.title));
    members.emplace("updated_at", summary.updated_at);
    members.emplace("username", std::move(summary.username));
    return item;
}

}  // namespace

Result<nlohmann::json> list_entries(HostState& state) {
    const auto vault = loaded_vault(state);
    if (!vault) return fail(vault.error());
    const auto& entries = (*vault)->entries;
    std::vector<Summary> summaries;
    summaries.reserve(entries.size());
    for (const SealedEntry& stored : entries) {
        auto entry = open_entry(state, stored);
        if (!entry) return fail(std::move(entry.error()));
        summaries.push_back(Summary{stored.id, std::move(entry->host), std::move(entry->username),
                                    std::move(entry->title), entry->updated_at});
    }
    // std::string compares bytes as unsigned values: "Z…" before "a…", no case folding.
    std::stable_sort(summaries.begin(), summaries.end(), [](const Summary& a, const Summary& b) {
        return std::tie(a.host, a.username) < std::tie(b.host, b.username);
    });

    nlohmann::json list(nlohmann::json::value_t::array);
    auto& items = list.get_ref<nlohmann::json::array_t&>();
    items.reserve(summaries.size());
    for (Summary& summary : summaries) items.push_back(summary_json(std::move(summary)));
    return list;
}

Result<nlohmann::json> reveal_entry(HostState& state, std::string_view entry_id) {
    const auto vault = loaded_vault(state);
    if (!vault) return fail(vault.error());
    const auto& entries = (*vault)->entries;
    const auto stored = std::find_if(entries.begin(), entries.end(),
                                     [&](const SealedEntry& e) { return e.id == entry_id; });
    if (stored == entries.end()) return fail("Eintrag nicht gefunden");
    auto entry = open_entry(state, *stored);
    if (!entry) return fail(std::move(entry.error()));
    return entry_detail(stored->id, std::move(*entry));
}

// Nothing is opened, so a damaged entry can still be removed.
Status delete_entry(HostState& state, std::string_view entry_id) {
    const auto vault = unlocked_vault(state);
    if (!vault) return fail(vault.error());
    const auto has_id = [&](const SealedEntry& e) { return e.id == entry_id; };
    const auto& entries = (*vault)->entries;
    if (std::none_of(entries.begin(), entries.end(), has_id)) return fail("Eintrag nicht gefunden");
    // On a file another client has changed meanwhile the entry may be gone already: what was
    // asked for holds all the same.
    return change_vault(state, [&](VaultFile& target) -> Status {
        std::erase_if(target.entries, has_id);
        return {};
    });
}

}  // namespace velkaron
