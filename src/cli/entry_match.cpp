#include "cli/entry_match.hpp"

#include <algorithm>

#include "cli/output.hpp"
#include "cli/terminal.hpp"

namespace velkaron::cli {
namespace {

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// An id given whole, or a short id of at least SHORT_ID_LEN characters that starts one id only.
std::vector<const Json*> by_id(const Json& list, std::string_view id) {
    std::vector<const Json*> found;
    if (id.size() < SHORT_ID_LEN) return found;
    for (const Json& summary : list) {
        const auto entry_id = text_of(summary, "id");
        if (entry_id == id) return {&summary};
        if (entry_id.starts_with(id)) found.push_back(&summary);
    }
    return found;
}

}  // namespace

std::string ascii_folded(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), fold);
    return folded;
}

bool contains_folded(std::string_view text, std::string_view folded) {
    return std::search(text.begin(), text.end(), folded.begin(), folded.end(),
                       [](char t, char f) { return fold(t) == f; }) != text.end() ||
           folded.empty();
}

bool equals_folded(std::string_view text, std::string_view folded) {
    return std::equal(text.begin(), text.end(), folded.begin(), folded.end(),
                      [](char t, char f) { return fold(t) == f; });
}

std::string_view text_of(const Json& summary, const char* member) {
    const auto found = summary.find(member);
    if (found == summary.end() || !found->is_string()) return {};
    return found->get_ref<const WipingString&>();
}

std::string short_id(std::string_view id) {
    return std::string(id.substr(0, SHORT_ID_LEN));
}

std::vector<const Json*> matching_entries(const Json& list, const EntryName& name) {
    if (!name.username) {
        if (auto found = by_id(list, name.id_or_host); !found.empty()) return found;
    }
    const std::string host = ascii_folded(name.id_or_host);
    std::vector<const Json*> found;
    for (const Json& summary : list) {
        if (!equals_folded(text_of(summary, "host"), host)) continue;
        if (name.username && text_of(summary, "username") != *name.username) continue;
        found.push_back(&summary);
    }
    return found;
}

Outcome<const Json*> resolve_entry(const Json& list, const EntryName& name, bool may_ask) {
    const auto found = matching_entries(list, name);
    const std::string named = name.id_or_host + (name.username ? " " + *name.username : "");
    if (found.empty()) return not_found("kein Eintrag für " + named);
    if (found.size() == 1) return found.front();
    if (!may_ask) {
        return not_found("mehrere Einträge für " + named +
                         "; bitte mit Benutzername oder Id wählen");
    }
    Json table = Json::array();
    for (const Json* summary : found) table.push_back(*summary);
    print_error(entries_table(table));
    auto chosen = ask("Id wählen: ");
    if (!chosen) return pass_on(std::move(chosen.error()));
    const auto again = matching_entries(table, EntryName{*chosen, std::nullopt});
    if (again.size() != 1) return not_found("keine der angezeigten Ids: " + *chosen);
    for (const Json* summary : found) {
        if (text_of(*summary, "id") == text_of(*again.front(), "id")) return summary;
    }
    return not_found("keine der angezeigten Ids: " + *chosen);
}

}  // namespace velkaron::cli
