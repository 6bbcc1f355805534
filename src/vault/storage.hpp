#pragma once

#include <string>
#include <string_view>

#include "base/result.hpp"
#include "vault/records.hpp"

namespace velkaron {

// Reads and parses the vault file at `path` and checks its version; fails with "Tresor nicht
// lesbar: …", "Tresor beschädigt: …" or "unbekannte Tresorversion …".
[[nodiscard]] Result<VaultFile> load_vault(const std::string& path);

// Writes `vault` through the temporary file and renames it over the file at `path`.
[[nodiscard]] Status save_vault(const std::string& path, const VaultFile& vault);

// The vault path with the extension of its file name replaced by "tmp"; when that extension
// already is "tmp", the vault path with ".tmp" appended.
[[nodiscard]] std::string temporary_path(std::string_view vault_path);

}  // namespace velkaron
