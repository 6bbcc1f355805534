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
    return fail("unbekannter Browser: " + std::string(name) + " (chromium oder chrome)");
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

Result<std::vector<std::string>> install(const InstallRequest& request,
                                         const InstallContext& context, const std::string& folder) {
    VELKARON_TRY(config, load_config(context.dirs));
    std::vector<std::string> done;
    if (request.vault) {
        config->vault = request.vault;
        if (auto saved = save_config(context.dirs, *config); !saved) {
            return fail(config_path(context.dirs) + ": " + saved.error());
        }
        done.push_back("geschrieben: " + config_path(context.dirs));
    }
    std::vector<std::string> ids{context.built_in_id};
    for (const std::string& id : config->allowed_extensions) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    VELKARON_TRY(made, make_private_folder(folder));
    VELKARON_TRY(written,
                 write_file(manifest_path(folder), host_manifest(context.host_binary, ids)));
    done.push_back(std::move(*written));
    return done;
}

Result<std::vector<std::string>> uninstall(const InstallRequest& request,
                                           const InstallContext& context,
                                           const std::string& folder) {
    std::vector<std::string> done;
    VELKARON_TRY(manifest, remove_file(manifest_path(folder)));
    if (*manifest) done.push_back(std::move(**manifest));
    // Both browsers share the configuration: it goes with the last manifest.
    const Browser other =
        request.browser == Browser::Chromium ? Browser::Chrome : Browser::Chromium;
    std::error_code ignored;
    if (std::filesystem::exists(manifest_path(manifest_folder(other, context.dirs)), ignored)) {
        return done;
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

std::string manifest_folder(Browser browser, const BaseDirs& dirs) {
    return dirs.config_home + (browser == Browser::Chromium ? "/chromium" : "/google-chrome") +
           "/NativeMessagingHosts";
}

std::string host_manifest(std::string_view host_binary, std::span<const std::string> allowed_ids) {
    nlohmann::ordered_json origins = nlohmann::ordered_json::array();
    for (const std::string& id : allowed_ids) origins.push_back(extension_origin(id));
    const nlohmann::ordered_json manifest{
        {"name", HOST_NAME},
        {"description", "Velkaron-Tresor: Anmeldungen für die Browser-Erweiterung"},
        {"path", host_binary},
        {"type", "stdio"},
        {"allowed_origins", std::move(origins)},
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
    const std::string folder =
        request.manifest_dir.value_or(manifest_folder(request.browser, context.dirs));
    return request.uninstall ? uninstall(request, context, folder)
                             : install(request, context, folder);
}

}  // namespace velkaron
