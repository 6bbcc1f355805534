#include "native/install.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <nlohmann/json.hpp>

#include "base/os_error.hpp"
#include "base/replace_file.hpp"
#include "base/utf8.hpp"
#include "native/extension_id.hpp"
#include "native/private_folder.hpp"

namespace velkaron {
namespace {

Result<std::string> absolute_path(std::string_view option, std::string_view path) {
    Utf8Scanner scanner;
    if (path.empty() || !scanner.feed(path) || !scanner.complete()) {
        return fail(std::string(option) + " braucht einen Pfad in UTF-8");
    }
    std::error_code error;
    auto absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error) return fail(std::string(option) + ": " + os_error(error.value()));
    return absolute.string();
}

Result<Browser> browser_named(std::string_view name) {
    if (name == "chromium") return Browser::Chromium;
    if (name == "chrome") return Browser::Chrome;
    if (name == "firefox") return Browser::Firefox;
    return fail("unbekannter Browser: " + std::string(name) + " (chromium, chrome oder firefox)");
}

std::string manifest_path(const std::string& folder) {
    return folder + "/" + std::string(HOST_NAME) + ".json";
}

// Through a temporary file, so that a browser never reads half a file.
Result<std::string> write_file(const std::string& path, const std::string& content) {
    auto written =
        replace_file(path, path + ".tmp", [&]() -> Result<std::string> { return content; });
    if (!written) return fail(path + ": " + written.error());
    return "geschrieben: " + path;
}

// Nothing to do when the file is not there.
Result<std::optional<std::string>> remove_file(const std::string& path) {
    if (::unlink(path.c_str()) == 0) return "entfernt: " + path;
    if (errno == ENOENT) return std::nullopt;
    return fail(path + ": Entfernen fehlgeschlagen: " + os_error(errno));
}

// The host makes only the default vault's folder: a chosen vault's folder must be there now,
// or the first save would fail long after this.
Status require_vault_folder(const std::string& vault) {
    const std::string folder = std::filesystem::path(vault).parent_path().string();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return fail("Ordner des Tresors fehlt: " + folder);
    }
    return {};
}

Result<std::vector<std::string>> install(const InstallRequest& request,
                                         const InstallContext& context, const std::string& folder) {
    VELKARON_TRY(config, load_config(context.dirs));
    std::vector<std::string> done;
    if (request.vault) {
        if (auto present = require_vault_folder(*request.vault); !present) {
            return fail(std::move(present.error()));
        }
        config->vault = request.vault;
        if (auto saved = save_config(context.dirs, *config); !saved) {
            return fail(config_path(context.dirs) + ": " + saved.error());
        }
        done.push_back("geschrieben: " + config_path(context.dirs));
    }
    VELKARON_TRY(made, make_private_folder(folder));
    VELKARON_TRY(written, write_file(manifest_path(folder),
                                     host_manifest(request.browser, context.host_binary,
                                                   context.built_in, config->allowed_extensions)));
    done.push_back(std::move(*written));
    return done;
}

Result<std::vector<std::string>> uninstall(const InstallRequest& request,
                                           const InstallContext& context,
                                           const std::string& folder) {
    std::vector<std::string> done;
    VELKARON_TRY(manifest, remove_file(manifest_path(folder)));
    if (*manifest) done.push_back(std::move(**manifest));
    // The browsers share the configuration: it goes with the last manifest.
    for (const Browser other : BROWSERS) {
        if (other == request.browser) continue;
        auto other_folder = manifest_folder(other, context.dirs);
        std::error_code ignored;
        if (other_folder && std::filesystem::exists(manifest_path(*other_folder), ignored)) {
            return done;
        }
    }
    VELKARON_TRY(config, remove_file(config_path(context.dirs)));
    if (*config) done.push_back(std::move(**config));
    return done;
}

}  // namespace

Result<InstallRequest> parse_install_options(std::span<const std::string_view> args) {
    InstallRequest request;
    bool browser_given = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view option = args[i];
        if (option == "--uninstall") {
            request.uninstall = true;
            continue;
        }
        if (option != "--browser" && option != "--vault" && option != "--manifest-dir") {
            return fail("unbekannte Option: " + std::string(option));
        }
        if (i + 1 == args.size()) return fail(std::string(option) + " braucht einen Wert");
        const std::string_view value = args[++i];
        if (option == "--browser") {
            VELKARON_TRY(browser, browser_named(value));
            request.browser = *browser;
            browser_given = true;
            continue;
        }
        VELKARON_TRY(path, absolute_path(option, value));
        (option == "--vault" ? request.vault : request.manifest_dir) = std::move(*path);
    }
    if (!browser_given) return fail("--browser fehlt");
    return request;
}

Result<std::string> manifest_folder(Browser browser, const BaseDirs& dirs) {
    if (browser == Browser::Firefox) {
        if (dirs.home.empty()) return fail("Ordner unbekannt: HOME ist kein absoluter Pfad");
        return dirs.home + "/.mozilla/native-messaging-hosts";
    }
    return dirs.config_home + (browser == Browser::Chromium ? "/chromium" : "/google-chrome") +
           "/NativeMessagingHosts";
}

std::string host_manifest(Browser browser, std::string_view host_binary, const BuiltInIds& built_in,
                          std::span<const std::string> configured_ids) {
    const bool firefox = browser == Browser::Firefox;
    std::vector<std::string> ids{firefox ? built_in.gecko : built_in.chromium};
    for (const std::string& id : configured_ids) {
        const bool fits = firefox ? is_gecko_id(id) : is_extension_id(id);
        if (fits && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    nlohmann::ordered_json allowed = nlohmann::ordered_json::array();
    // Chromium lists origins, Firefox the ids themselves.
    for (const std::string& id : ids) allowed.push_back(firefox ? id : extension_origin(id));
    const nlohmann::ordered_json manifest{
        {"name", HOST_NAME},
        {"description", "Velkaron-Tresor: Anmeldungen für die Browser-Erweiterung"},
        {"path", host_binary},
        {"type", "stdio"},
        {firefox ? "allowed_extensions" : "allowed_origins", std::move(allowed)},
    };
    return manifest.dump(2) + "\n";
}

Result<std::string> host_binary_path() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return fail("Programmpfad nicht bestimmbar: " + os_error(error.value()));
    Utf8Scanner scanner;
    if (!scanner.feed(path.native()) || !scanner.complete()) {
        return fail("Programmpfad ist kein gültiges UTF-8");
    }
    return path.string();
}

Result<std::vector<std::string>> run_install(const InstallRequest& request,
                                             const InstallContext& context) {
    VELKARON_TRY(folder, request.manifest_dir ? Result<std::string>(*request.manifest_dir)
                                              : manifest_folder(request.browser, context.dirs));
    return request.uninstall ? uninstall(request, context, *folder)
                             : install(request, context, *folder);
}

}  // namespace velkaron
