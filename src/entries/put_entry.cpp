#include <algorithm>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "entries/clock.hpp"
#include "entries/entry_id.hpp"
#include "entries/open_entry.hpp"
#include "entries/operations.hpp"
#include "state/vault_access.hpp"

namespace velkaron {
namespace {

constexpr std::size_t NONE = static_cast<std::size_t>(-1);

struct OpenedLogin {
    std::size_t index;
    std::uint64_t created_at;
};

// The first entry that opens with exactly this host and user name. Entries that fail to open
// or read are passed over: a damaged entry must not stop a login from being stored.
std::optional<OpenedLogin> find_login(const HostState& state,
                                      const std::vector<SealedEntry>& entries,
                                      std::string_view host, std::string_view username) {
    EntryOpener opener(state);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto entry = opener.open(entries[i]);
        if (entry && (*entry)->host == host && (*entry)->username == username) {
            return OpenedLogin{i, (*entry)->created_at};
        }
    }
    return std::nullopt;
}

std::size_t first_with_id(const std::vector<SealedEntry>& entries, std::string_view id) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const SealedEntry& e) { return e.id == id; });
    return it == entries.end() ? NONE : static_cast<std::size_t>(it - entries.begin());
}

// Carried over from the entry at `index` when it opens, else now. `opened` spares a second
// opening when the search by host and user name has just read that very entry.
std::uint64_t creation_time(const HostState& state, const std::vector<SealedEntry>& entries,
                            std::size_t index, const std::optional<OpenedLogin>& opened) {
    if (index == NONE) return unix_seconds();
    if (opened && opened->index == index) return opened->created_at;
    const auto entry = open_entry(state, entries[index]);
    return entry ? entry->created_at : unix_seconds();
}

// Chooses the id in `vault`, seals the login under it and puts it there; gives the id.
Result<std::string> store_login(const HostState& state, VaultFile& vault,
                                const PutRequest& request) {
    auto& entries = vault.entries;
    std::string id;
    std::optional<OpenedLogin> opened;
    if (request.entry_id) {
        id = *request.entry_id;
    } else if ((opened = find_login(state, entries, request.host, request.username))) {
        id = entries[opened->index].id;
    } else {
        id = new_entry_id();
    }
    // A login found by host and user name may stand behind an earlier entry under the same
    // id; that earlier one is the entry replaced and the one whose creation time counts.
    const std::size_t index = first_with_id(entries, id);

    Entry entry;
    entry.host = request.host;
    entry.username = request.username;
    entry.password = request.password;
    entry.title = request.title;
    entry.created_at = creation_time(state, entries, index, opened);
    entry.updated_at = unix_seconds();

    const auto plaintext = write_entry(entry);
    if (!plaintext) return fail("Eintrag nicht serialisierbar: " + plaintext.error());
    const Key32 key = state.key()->copy();
    VELKARON_TRY(sealed, seal(key, bytes_of(plaintext->view()), id));

    if (index == NONE) {
        entries.push_back(SealedEntry{id, std::move(*sealed)});
    } else {
        entries[index].sealed = std::move(*sealed);
    }
    return id;
}

}  // namespace

Result<std::string> put_entry(HostState& state, const PutRequest& request) {
    VELKARON_TRY(vault, unlocked_vault(state));
    // On a file another client has changed meanwhile, the search by host and user name runs
    // again on that file's entries; the answer names the id finally written.
    std::string id;
    const VaultChange store = [&](VaultFile& target) -> Status {
        VELKARON_TRY(stored, store_login(state, target, request));
        id = std::move(*stored);
        return {};
    };
    // The change stays in memory when the save fails, until the host next follows a file
    // another client changed; the next successful save before that writes it.
    VELKARON_TRY(saved, state.change_vault(store));
    return id;
}

}  // namespace velkaron
