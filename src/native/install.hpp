#pragma once

// velkaron-native install: registers the host with a browser for the current user by writing
// its host manifest, and writes the configuration when a vault is named.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "native/settings.hpp"

namespace velkaron {

// The name extensions connect to; the host manifest is this name with ".json".
inline constexpr std::string_view HOST_NAME = "velkaron.vault";

inline constexpr std::string_view INSTALL_USAGE =
    "Aufruf: velkaron-native install --browser chromium|chrome|firefox [--vault PFAD] "
    "[--manifest-dir ORDNER] [--uninstall]";

enum class Browser { Chromium, Chrome, Firefox };
inline constexpr Browser BROWSERS[] = {Browser::Chromium, Browser::Chrome, Browser::Firefox};

struct InstallRequest {
    Browser browser = Browser::Chromium;
    std::optional<std::string> vault;         // absolute
    std::optional<std::string> manifest_dir;  // absolute; else the browser's per-user folder
    bool uninstall = false;
};

// The arguments after "install"; relative paths are taken against the working folder. Fails
// with what is wrong, to be shown above INSTALL_USAGE.
[[nodiscard]] Result<InstallRequest> parse_install_options(std::span<const std::string_view> args);

// The browser's folder for per-user host manifests: Chromium's and Chrome's under the XDG
// configuration folder, Firefox's under HOME, failing when HOME is not an absolute path.
[[nodiscard]] Result<std::string> manifest_folder(Browser browser, const BaseDirs& dirs);

// The extension ids of the built-in extension, one per kind of browser.
struct BuiltInIds {
    std::string chromium;  // extension/extension-id.txt
    std::string gecko;     // the manifest's browser_specific_settings.gecko.id
};

// The host manifest for `browser`: the host at `host_binary` (absolute), for the built-in
// extension and those of `configured_ids` that are of the browser's kind.
[[nodiscard]] std::string host_manifest(Browser browser, std::string_view host_binary,
                                        const BuiltInIds& built_in,
                                        std::span<const std::string> configured_ids);

// The absolute path of the running program, for the manifest.
[[nodiscard]] Result<std::string> host_binary_path();

struct InstallContext {
    BaseDirs dirs;
    std::string host_binary;  // absolute path of velkaron-native
    BuiltInIds built_in;      // the extension this build is made for
};

// Writes the manifest (for the built-in extension and those the configuration allows) and,
// with a vault, the configuration; or, for --uninstall, removes the manifest and, unless the
// other browsers' per-user manifests is still there, the configuration. Running it twice does
// no more than running it once. Gives one line per file written or removed.
[[nodiscard]] Result<std::vector<std::string>> run_install(const InstallRequest& request,
                                                           const InstallContext& context);

}  // namespace velkaron
