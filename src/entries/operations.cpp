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
    SecretString host;
    SecretString username;
    SecretString title;
    std::uint64_t updated_at;
};

Json summary_json(Summary&& summary) {
    Json item(Json::value_t::object);
    auto& members = item.get_ref<Json::object_t&>();
    members.emplace("host", summary.host.view());
    members.emplace("id", summary.id);
    members.emplace("title", summary.title.view());
    members.emplace("updated_at", summary.updated_at);
    members.emplace("username", summary.username.view());
    return item;
}

}  // namespace

Result<Json> list_entries(HostState& state) {
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
    // char_traits compares bytes as unsigned values: "Z…" before "a…", no case folding.
    std::stable_sort(summaries.begin(), summaries.end(), [](const Summary& a, const Summary& b) {
        return std::tie(a.host, a.username) < std::tie(b.host, b.username);
    });

    Json list(Json::value_t::array);
    auto& items = list.get_ref<Json::array_t&>();
    items.reserve(summaries.size());
    for (Summary& summary : summaries) items.push_back(summary_json(std::move(summary)));
    return list;
}

Result<Json> reveal_entry(HostState& state, std::string_view entry_id) {
    const auto vault = loaded_vault(state);
    if (!vault) return fail(vault.error());
    const auto& entries = (*vault)->entries;
    const auto stored = std::find_if(entries.begin(), entries.end(),
                                     [&](const SealedEntry& e) { return e.id == entry_id; });
    if (stored == entries.end()) return fail("Eintrag nicht gefunden");
    auto entry = open_entry(state, *stored);
    if (!entry) return fail(std::move(entry.error()));
    return entry_detail(stored->id, *entry);
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
