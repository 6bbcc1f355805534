#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "base/secret_string.hpp"
#include "state/host_state.hpp"
#include "transfer/import_rows.hpp"
#include "vault/records.hpp"

namespace velkaron {

struct ImportConflict {
    std::size_t line = 0;
    SecretString host;
    SecretString username;
};

// One login to seal: `login` indexes the imported logins; `stored`, when present, is the
// entry whose password it replaces.
struct PlannedWrite {
    std::size_t login = 0;
    std::optional<std::size_t> stored;
};

// How the imported logins stand to a vault. Every login counts once: added, unchanged,
// replaced or a conflict.
struct ImportCounts {
    std::size_t added = 0;
    std::size_t unchanged = 0;
    std::size_t replaced = 0;
    std::vector<ImportConflict> conflicts;
};

// What an import does to one vault.
struct ImportPlan {
    ImportCounts counts;
    std::vector<PlannedWrite> writes;
};

// Compares `logins` (hosts in lower case, as login_host gives them), in order, with the stored
// entries that open and with the logins before them, by host (ASCII case folded) and user name: the
// same password is unchanged, another one a conflict that keeps the login already there, or with
// `replace` takes its place.
[[nodiscard]] ImportPlan plan_import(const HostState& state, const VaultFile& vault,
                                     std::span<const ImportedLogin> logins, bool replace);

}  // namespace velkaron
