#include "transfer/import_plan.hpp"

#include <string_view>
#include <unordered_map>

#include "entries/open_entry.hpp"

namespace velkaron {
namespace {

// Host folded to ASCII lower case, a NUL, the user name: hosts that differ only in case name
// the same site, as the browser's lower-case hostname does.
SecretString login_key(std::string_view host, std::string_view username) {
    SecretString key;
    key.reserve(host.size() + 1 + username.size());
    for (const char c : host) key += c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    key += '\0';
    key += username;
    return key;
}

struct KeyHash {
    std::size_t operator()(const SecretString& key) const noexcept {
        return std::hash<std::string_view>{}(key.view());
    }
};

// The login that stands for a host and user name so far: a stored entry, a planned write,
// or both when the write replaces that entry.
struct Holder {
    SecretString password;
    std::optional<std::size_t> stored;
    std::optional<std::size_t> write;
};

using Holders = std::unordered_map<SecretString, Holder, KeyHash>;

// Entries that fail to open are passed over, as put's search passes them over: a damaged
// entry must not stop an import.
Holders stored_holders(const HostState& state, const VaultFile& vault) {
    Holders holders;
    holders.reserve(vault.entries.size());
    EntryOpener opener(state);
    for (std::size_t i = 0; i < vault.entries.size(); ++i) {
        const auto entry = opener.open(vault.entries[i]);
        if (!entry) continue;
        holders.try_emplace(login_key((*entry)->host.view(), (*entry)->username.view()),
                            Holder{(*entry)->password, i, std::nullopt});
    }
    return holders;
}

}  // namespace

ImportPlan plan_import(const HostState& state, const VaultFile& vault,
                       std::span<const ImportedLogin> logins, bool replace) {
    ImportPlan plan;
    Holders holders = stored_holders(state, vault);
    for (std::size_t i = 0; i < logins.size(); ++i) {
        const ImportedLogin& login = logins[i];
        auto [it, fresh] = holders.try_emplace(login_key(login.host.view(), login.username.view()));
        Holder& holder = it->second;
        if (fresh) {
            holder.password = login.password;
            holder.write = plan.writes.size();
            plan.writes.push_back({i, std::nullopt});
            ++plan.counts.added;
        } else if (holder.password == login.password) {
            ++plan.counts.unchanged;
        } else if (!replace) {
            plan.counts.conflicts.push_back({login.line, login.host, login.username});
        } else {
            holder.password = login.password;
            if (holder.write) {
                plan.writes[*holder.write].login = i;
            } else {
                holder.write = plan.writes.size();
                plan.writes.push_back({i, holder.stored});
            }
            ++plan.counts.replaced;
        }
    }
    return plan;
}

}  // namespace velkaron
