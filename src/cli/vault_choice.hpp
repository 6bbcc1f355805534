#pragma once

#include <optional>
#include <string>

#include "cli/outcome.hpp"

namespace velkaron::cli {

// Which vault the commands use and why. By default the browser's: the terminal and the
// extension then share one vault.
struct VaultChoice {
    std::string path;
    std::string reason;
};

// `--vault PATH`, else $VELKARON_VAULT, else the vault velkaron-native is configured for, else
// its default (whose folder is made, as velkaron-native makes it).
[[nodiscard]] Outcome<VaultChoice> choose_vault(const std::optional<std::string>& flag);

}  // namespace velkaron::cli
