#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "crypto/secret.hpp"
#include "vault/file_version.hpp"
#include "vault/records.hpp"

namespace velkaron {

// A vault read from the vault file, and the version of the file it was read from.
struct LoadedVault {
    VaultFile vault;
    FileVersion version;
};

// Reads and parses the vault file at `path` and checks its version; fails with "Tresor nicht
// lesbar: …", "Tresor beschädigt: …" or "unbekannte Tresorversion …".
[[nodiscard]] Result<LoadedVault> load_vault(const std::string& path);

// The vault file at `path` when it is no longer `held` (see check_file): nothing when `held`
// is still there or no file is; a file with the bytes of `held` only renews `held`. Fails with
// the messages of load_vault.
[[nodiscard]] Result<std::optional<LoadedVault>> newer_vault(const std::string& path,
                                                             std::optional<FileVersion>& held);

// One request's change to a vault, which a save makes again on a newer vault file.
using VaultChange = std::function<Status(VaultFile&)>;

// Writes `vault`, which already holds `change`, through the temporary file and renames it over
// the file at `path`. While the temporary file is locked, the file at `path` is compared with
// `version`, the one `vault` was read from or last written as: a newer file that holds the same
// vault (same_vault with `key`) takes `change`, and the result is `vault` and what is written.
// A newer file that does not read, or holds another vault, fails the save with "Tresordatei
// inzwischen geändert, nichts gespeichert: …" and is left alone; an empty `change` refuses
// every newer file. On success `version` is the file written; on failure `vault` keeps the
// change.
[[nodiscard]] Status save_vault(const std::string& path, VaultFile& vault,
                                std::optional<FileVersion>& version, const VaultKey& key,
                                const VaultChange& change);

// The vault path with the extension of its file name replaced by "tmp"; when that extension
// already is "tmp", the vault path with ".tmp" appended.
[[nodiscard]] std::string temporary_path(std::string_view vault_path);

}  // namespace velkaron
