#include "native/settings.hpp"

#include <sys/stat.h>

#include <cerrno>

#include <nlohmann/json.hpp>

#include "base/os_error.hpp"
#include "base/read_file.hpp"
#include "base/replace_file.hpp"
#include "json/reader.hpp"
#include "native/extension_id.hpp"
#include "native/private_folder.hpp"

namespace velkaron {
namespace {

using json::field;

constexpr auto CONFIG_FIELDS =
    json::field_table(field<&NativeConfig::vault>("vault"),
                      field<&NativeConfig::allowed_extensions>("allowed_extensions").optional());
constexpr json::Schema<NativeConfig> CONFIG_SCHEMA{"a configuration object", CONFIG_FIELDS};

std::optional<std::string> absolute_variable(Getenv getenv, const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    return value;
}

// The folder `variable` names, else `fallback` under HOME.
Result<std::string> base_dir(Getenv getenv, const char* variable, const char* fallback) {
    if (auto dir = absolute_variable(getenv, variable)) return std::move(*dir);
    auto home = absolute_variable(getenv, "HOME");
    if (!home) {
        return fail(std::string("Ordner unbekannt: weder ") + variable +
                    " noch HOME ist ein absoluter Pfad");
    }
    return *home + "/" + fallback;
}

std::string folder_of(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

Status check_config(const NativeConfig& config) {
    if (config.vault && !config.vault->starts_with('/')) {
        return fail("`vault` ist kein absoluter Pfad");
    }
    for (const std::string& id : config.allowed_extensions) {
        if (!is_extension_id(id) && !is_gecko_id(id))
            return fail("`" + id + "` ist keine Erweiterungs-Id");
    }
    return {};
}

}  // namespace

Result<BaseDirs> base_dirs(Getenv getenv) {
    VELKARON_TRY(config_home, base_dir(getenv, "XDG_CONFIG_HOME", ".config"));
    VELKARON_TRY(data_home, base_dir(getenv, "XDG_DATA_HOME", ".local/share"));
    return BaseDirs{std::move(*config_home), std::move(*data_home),
                    absolute_variable(getenv, "HOME").value_or("")};
}

std::string config_path(const BaseDirs& dirs) {
    return dirs.config_home + "/velkaron/native-host.json";
}

std::string default_vault_path(const BaseDirs& dirs) {
    return dirs.data_home + "/velkaron/tresor.json";
}

Result<NativeConfig> load_config(const BaseDirs& dirs) {
    const std::string path = config_path(dirs);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) return NativeConfig{};
    const auto text = read_whole_file(path);
    if (!text) return fail("Konfiguration nicht lesbar: " + path + ": " + text.error());
    auto config = parse_config(*text);
    if (!config) return fail("Konfiguration beschädigt: " + path + ": " + config.error());
    return config;
}

Result<NativeConfig> parse_config(std::string_view text) {
    VELKARON_TRY(config, json::read_record(text, CONFIG_SCHEMA));
    VELKARON_TRY(checked, check_config(*config));
    return config;
}

std::string config_text(const NativeConfig& config) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    if (config.vault) document["vault"] = *config.vault;
    if (!config.allowed_extensions.empty()) {
        document["allowed_extensions"] = config.allowed_extensions;
    }
    return document.dump(2) + "\n";
}

Status save_config(const BaseDirs& dirs, const NativeConfig& config) {
    const std::string path = config_path(dirs);
    VELKARON_TRY(folder, make_private_folder(folder_of(path)));
    const std::string text = config_text(config);
    VELKARON_TRY(written,
                 replace_file(path, path + ".tmp", [&]() -> Result<std::string> { return text; }));
    return {};
}

Result<std::string> vault_to_serve(const BaseDirs& dirs, const NativeConfig& config) {
    if (config.vault) return *config.vault;
    std::string path = default_vault_path(dirs);
    VELKARON_TRY(folder, make_private_folder(folder_of(path)));
    return path;
}

}  // namespace velkaron
