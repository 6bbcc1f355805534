#include "cli/vault_choice.hpp"

#include <cstdlib>

#include "native/settings.hpp"

namespace velkaron::cli {
namespace {

const char* environment(const char* name) {
    return std::getenv(name);
}

}  // namespace

Outcome<VaultChoice> choose_vault(const std::optional<std::string>& flag) {
    if (flag) return VaultChoice{*flag, "--vault"};
    if (const char* env = std::getenv("VELKARON_VAULT"); env != nullptr && *env != '\0') {
        return VaultChoice{env, "Umgebungsvariable VELKARON_VAULT"};
    }
    const auto dirs = base_dirs(environment);
    if (!dirs) return refused(dirs.error());
    const auto config = load_config(*dirs);
    if (!config) return refused(config.error());
    auto path = vault_to_serve(*dirs, *config);
    if (!path) return refused(path.error());
    return VaultChoice{std::move(*path), config->vault ? "Konfiguration von velkaron-native (" +
                                                             config_path(*dirs) + ")"
                                                       : "Standard von velkaron-native"};
}

}  // namespace velkaron::cli
