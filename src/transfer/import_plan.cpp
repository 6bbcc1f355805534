#include "transfer/import_plan.hpp"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "entries/open_entry.hpp"

namespace velkaron {
namespace {

// A login's host and user name. Imported hosts are in lower case already, as login_host
// gives them; a stored host is folded to ASCII lower case before it is looked up, so that
// hosts that differ only in case name the same site.
struct LoginKey {
    std::string_view host;
    std::string_view username;

    friend bool operator==(const LoginKey&, const LoginKey&) = default;
};

struct KeyHash {
    std::size_t operator()(const LoginKey& key) const noexcept {
        const std::hash<std::string_view> hash;
        return hash(key.host) * 31 + hash(key.username);
    }
};

// The login that stands for a host and user name so far: a stored entry, a planned write,
// or both when the write replaces that entry.
struct Holder {
    std::optional<std::size_t> stored;
    SecretString stored_password;
    const SecretString* password = nullptr;  // the login's password so far; none: no login yet
    std::optional<std::size_t> write;
};

// Keyed by views of the imported logins' texts, which outlive the plan.
using Holders = std::unordered_map<LoginKey, Holder, KeyHash>;

void fold_into(SecretString& folded, std::string_view host) {
    folded.clear();
    for (const char c : host) {
        folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    }
}

// The first stored login of each imported host and user name. Entries that fail to open are
// passed over, as put's search passes them over: a damaged entry must not stop an import.
void find_stored(const HostState& state, const VaultFile& vault, Holders& holders) {
    EntryOpener opener(state);
    SecretString folded;
    for (std::size_t i = 0; i < vault.entries.size(); ++i) {
        const auto entry = opener.open(vault.entries[i]);
        if (!entry) continue;
        fold_into(folded, (*entry)->host.view());
        const auto found = holders.find(LoginKey{folded.view(), (*entry)->username.view()});
        if (found == holders.end() || found->second.stored) continue;
        Holder& holder = found->second;
        holder.stored = i;
        holder.stored_password = (*entry)->password;
        holder.password = &holder.stored_password;
    }
}

}  // namespace

ImportPlan plan_import(const HostState& state, const VaultFile& vault,
                       std::span<const ImportedLogin> logins, bool replace) {
    ImportPlan plan;
    if (logins.empty()) return plan;
    Holders holders;
    holders.reserve(logins.size());
    // Each login's holder, looked up once: the map's nodes stay where they are.
    std::vector<Holder*> holder_of;
    holder_of.reserve(logins.size());
    for (const ImportedLogin& login : logins) {
        holder_of.push_back(
            &holders.try_emplace(LoginKey{login.host.view(), login.username.view()}).first->second);
    }
    find_stored(state, vault, holders);
    for (std::size_t i = 0; i < logins.size(); ++i) {
        const ImportedLogin& login = logins[i];
        Holder& holder = *holder_of[i];
        if (holder.password == nullptr) {
            holder.password = &login.password;
            holder.write = plan.writes.size();
            plan.writes.push_back({i, std::nullopt});
            ++plan.counts.added;
        } else if (*holder.password == login.password) {
            ++plan.counts.unchanged;
        } else if (!replace) {
            plan.counts.conflicts.push_back({login.line, login.host, login.username});
        } else {
            holder.password = &login.password;
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
