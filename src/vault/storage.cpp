#include "vault/storage.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "base/os_error.hpp"
#include "base/posix.hpp"
#include "base/read_file.hpp"
#include "base/replace_file.hpp"
#include "base/utf8.hpp"
#include "base/wire_texts.hpp"
#include "vault/same_vault.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

constexpr char UNREADABLE[] = "Tresor nicht lesbar: ";
constexpr char FILE_CHANGED[] = "Tresordatei inzwischen geändert, nichts gespeichert: ";
constexpr char OTHER_VAULT[] = "anderer Tresor";

// The whole vault file in one buffer, and the version it is.
struct FileBytes {
    std::string text;
    FileVersion version;
};

// Its content must be UTF-8; the error is the detail of "Tresor nicht lesbar: …".
Result<FileBytes> read_file_bytes(const std::string& path) {
    VELKARON_TRY(file, open_for_reading(path));
    const timespec clock_before = coarse_clock();
    struct stat info {};
    if (::fstat(file->get(), &info) != 0) return fail(os_error(errno));
    VELKARON_TRY(text, read_to_end(file->get(), info));
    Utf8Scanner scanner;
    if (!scanner.feed(*text) || !scanner.complete()) {
        return fail(std::string(wire::NOT_UTF8_STREAM));
    }
    FileVersion version = FileVersion::read(std::move(*file), info, clock_before, *text);
    return FileBytes{std::move(*text), std::move(version)};
}

Result<FileBytes> read_vault_bytes(const std::string& path) {
    auto bytes = read_file_bytes(path);
    if (!bytes) return fail(UNREADABLE + bytes.error());
    return bytes;
}

// Fails with "Tresor beschädigt: …" or "unbekannte Tresorversion …".
Result<LoadedVault> parse_loaded(FileBytes&& bytes) {
    auto vault = parse_vault(bytes.text);
    if (!vault) return fail("Tresor beschädigt: " + vault.error());
    if (vault->version != VAULT_VERSION) {
        return fail("unbekannte Tresorversion " + std::to_string(vault->version));
    }
    return LoadedVault{std::move(*vault), std::move(bytes.version)};
}

// Runs while the temporary file is locked: no other host's save can land between this look at
// the vault file and the rename that follows it (a writer that takes no lock still can).
Status onto_current_file(const std::string& path, VaultFile& vault,
                         std::optional<FileVersion>& version, const VaultKey& key,
                         const VaultChange& change) {
    auto newer = newer_vault(path, version);
    if (!newer) return fail(FILE_CHANGED + newer.error());
    if (!*newer) return {};
    LoadedVault& found = **newer;
    if (!change || !same_vault(vault, found.vault, key)) {
        return fail(std::string(FILE_CHANGED) + OTHER_VAULT);
    }
    VELKARON_TRY(made, change(found.vault));
    vault = std::move(found.vault);
    version = std::move(found.version);
    return {};
}

}  // namespace

Result<LoadedVault> load_vault(const std::string& path) {
    VELKARON_TRY(bytes, read_vault_bytes(path));
    return parse_loaded(std::move(*bytes));
}

Result<std::optional<LoadedVault>> newer_vault(const std::string& path,
                                               std::optional<FileVersion>& held) {
    if (check_file(path, held) != FileCheck::changed) return std::optional<LoadedVault>();
    VELKARON_TRY(bytes, read_vault_bytes(path));
    // Touched, or written anew with the same content: nothing to read into memory.
    if (held && held->same_bytes(bytes->version)) {
        held = std::move(bytes->version);
        return std::optional<LoadedVault>();
    }
    VELKARON_TRY(loaded, parse_loaded(std::move(*bytes)));
    return std::optional<LoadedVault>(std::move(*loaded));
}

Status save_vault(const std::string& path, VaultFile& vault, std::optional<FileVersion>& version,
                  const VaultKey& key, const VaultChange& change) {
    const auto contents = [&]() -> Result<std::string> {
        VELKARON_TRY(onto, onto_current_file(path, vault, version, key, change));
        return serialize_vault(vault);
    };
    VELKARON_TRY(written, replace_file(path, temporary_path(path), contents));
    version = FileVersion::written(std::move(*written));
    return {};
}

std::string temporary_path(std::string_view vault_path) {
    const std::size_t slash = vault_path.rfind('/');
    const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view name = vault_path.substr(name_start);
    // Without a file name there is nothing to replace; writing there fails as a directory.
    if (name.empty() || name == "." || name == "..") return std::string(vault_path);
    const std::size_t dot = name.rfind('.');
    const bool has_extension = dot != std::string_view::npos && dot != 0;
    // Replacing "tmp" by "tmp" would make the vault its own temporary file.
    if (!has_extension || name.substr(dot + 1) == "tmp") return std::string(vault_path) + ".tmp";
    return std::string(vault_path.substr(0, name_start + dot)) + ".tmp";
}

}  // namespace velkaron
