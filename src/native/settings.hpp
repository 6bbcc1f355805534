#pragma once

// Where velkaron-native keeps its files: the configuration under the XDG configuration folder,
// the default vault under the XDG data folder.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"

namespace velkaron {

struct BaseDirs {
    std::string config_home;  // $XDG_CONFIG_HOME, else $HOME/.config
    std::string data_home;    // $XDG_DATA_HOME, else $HOME/.local/share
    std::string home;         // $HOME; empty when it is unset or not absolute
};

using Getenv = const char* (*)(const char* name);

// The base folders from the environment. A variable that is unset, empty or not an absolute
// path counts as unset; fails when HOME is needed and is so too.
[[nodiscard]] Result<BaseDirs> base_dirs(Getenv getenv);

// The configuration file, a JSON object with two optional members.
struct NativeConfig {
    std::optional<std::string> vault;             // absolute path of the vault file
    std::vector<std::string> allowed_extensions;  // ids allowed besides the built-in ones

    friend bool operator==(const NativeConfig&, const NativeConfig&) = default;
};

[[nodiscard]] std::string config_path(const BaseDirs& dirs);
[[nodiscard]] std::string default_vault_path(const BaseDirs& dirs);

// The configuration in `text`, checked; fails with the reader's or the check's description.
[[nodiscard]] Result<NativeConfig> parse_config(std::string_view text);

// The text save_config writes for `config`, whose texts must be UTF-8.
[[nodiscard]] std::string config_text(const NativeConfig& config);

// The configuration at config_path(dirs): all defaults when no file is there. Fails with
// "Konfiguration nicht lesbar: …" or "Konfiguration beschädigt: …", naming the file.
[[nodiscard]] Result<NativeConfig> load_config(const BaseDirs& dirs);

// Writes `config`, whose texts must be UTF-8, to config_path(dirs), making its folder when
// missing.
[[nodiscard]] Status save_config(const BaseDirs& dirs, const NativeConfig& config);

// The vault the host serves: the configured one, else the default, whose folder is made with
// mode 0700 when missing (saving makes no folders).
[[nodiscard]] Result<std::string> vault_to_serve(const BaseDirs& dirs, const NativeConfig& config);

}  // namespace velkaron
