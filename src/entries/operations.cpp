#include "entries/operations.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "entries/entry_detail.hpp"
#include "entries/open_entry.hpp"
#include "state/vault_access.hpp"

namespace velkaron {
namespace {

// One item of the list while it is sorted: its texts stand one after another in the list's
// text buffer, so that opening the next entry can reuse the opener's.
struct Summary {
    std::size_t index;  // of the stored entry, whose id it carries
    std::size_t texts_at;
    std::size_t host_size;
    std::size_t username_size;
    std::size_t title_size;
    std::uint64_t updated_at;
};

class Summaries {
  public:
    explicit Summaries(std::size_t count) { items_.reserve(count); }

    void add(std::size_t index, const Entry& entry) {
        items_.push_back(Summary{index, texts_.size(), entry.host.size(), entry.username.size(),
                                 entry.title.size(), entry.updated_at});
        texts_ += entry.host;
        texts_ += entry.username;
        texts_ += entry.title;
    }

    // By host, then user name; char_traits compares bytes as unsigned values: "Z…" before
    // "a…", no case folding. Equals keep their file order.
    void sort() {
        std::stable_sort(items_.begin(), items_.end(), [this](const Summary& a, const Summary& b) {
            return std::pair(host(a), username(a)) < std::pair(host(b), username(b));
        });
    }

    void write(json::DataWriter& out, const std::vector<SealedEntry>& entries) const {
        // Member names, quotes, time and a UUID take under 128 bytes an item: the line grows
        // once instead of a score of times.
        out.reserve(texts_.size() + items_.size() * 128);
        json::ArrayWriter list(out);
        for (const Summary& item : items_) {
            json::ObjectWriter object(list.element());
            object.member("host").string(host(item));
            object.member("id").string(entries[item.index].id);
            object.member("title").string(
                text(item, item.host_size + item.username_size, item.title_size));
            object.member("updated_at").number(item.updated_at);
            object.member("username").string(username(item));
            object.close();
        }
        list.close();
    }

  private:
    [[nodiscard]] std::string_view text(const Summary& item, std::size_t offset,
                                        std::size_t size) const {
        return texts_.view().substr(item.texts_at + offset, size);
    }
    [[nodiscard]] std::string_view host(const Summary& item) const {
        return text(item, 0, item.host_size);
    }
    [[nodiscard]] std::string_view username(const Summary& item) const {
        return text(item, item.host_size, item.username_size);
    }

    std::vector<Summary> items_;
    SecretString texts_;
};

}  // namespace

Status list_entries(HostState& state, json::DataWriter& out) {
    VELKARON_TRY(vault, loaded_vault(state));
    const auto& entries = (*vault)->entries;
    Summaries summaries(entries.size());
    EntryOpener opener(state);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        VELKARON_TRY(entry, opener.open(entries[i]));
        summaries.add(i, **entry);
    }
    summaries.sort();
    summaries.write(out, entries);
    return {};
}

Status reveal_entry(HostState& state, std::string_view entry_id, json::DataWriter& out) {
    VELKARON_TRY(vault, loaded_vault(state));
    const auto& entries = (*vault)->entries;
    const auto stored = std::find_if(entries.begin(), entries.end(),
                                     [&](const SealedEntry& e) { return e.id == entry_id; });
    if (stored == entries.end()) return fail("Eintrag nicht gefunden");
    VELKARON_TRY(entry, open_entry(state, *stored));
    write_entry_detail(out, stored->id, *entry);
    return {};
}

// Nothing is opened, so a damaged entry can still be removed.
Status delete_entry(HostState& state, std::string_view entry_id) {
    VELKARON_TRY(vault, unlocked_vault(state));
    const auto has_id = [&](const SealedEntry& e) { return e.id == entry_id; };
    const auto& entries = (*vault)->entries;
    if (std::none_of(entries.begin(), entries.end(), has_id)) return fail("Eintrag nicht gefunden");
    // On a file another client has changed meanwhile the entry may be gone already: what was
    // asked for holds all the same.
    return state.change_vault([&](VaultFile& target) -> Status {
        std::erase_if(target.entries, has_id);
        return {};
    });
}

}  // namespace velkaron
