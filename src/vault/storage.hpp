#pragma once

#include <string>
#include <string_view>

#include "base/result.hpp"
#include "host/host_state.hpp"

namespace velkaron {

// Reads the vault file into memory unless a vault is already there.
[[nodiscard]] Status load_vault(HostState& state);

// Writes the in-memory vault through the temporary file and renames it over the vault file.
[[nodiscard]] Status save_vault(const HostState& state);

// The vault path with the extension of its file name replaced by "tmp"; when that extension
// already is "tmp", the vault path with ".tmp" appended.
[[nodiscard]] std::string temporary_path(std::string_view vault_path);

}  // namespace velkaron
