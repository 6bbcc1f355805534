#include "vault/storage.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/os_error.hpp"
#include "base/posix.hpp"
#include "base/utf8.hpp"
#include "vault/replace_file.hpp"
#include "vault/same_vault.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

constexpr char UNREADABLE[] = "Tresor nicht lesbar: ";
constexpr char FILE_CHANGED[] = "Tresordatei inzwischen geändert, nichts gespeichert: ";
constexpr char OTHER_VAULT[] = "anderer Tresor";

// Non-blocking first, so that a FIFO without a writer opens at once (and then reads as
// empty) instead of hanging the host; blocking again for the reads themselves.
Result<UniqueFd> open_for_reading(const std::string& path) {
    UniqueFd file(retry_on_eintr(::open, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file) return fail(os_error(errno));
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return fail(os_error(errno));
    }
    return file;
}

Result<std::string> read_to_end(int fd, const struct stat& info) {
    std::string content;
    // One byte beyond the expected size, so that the final read sees the end at once.
    content.resize(S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) + 1 : READ_CHUNK);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) content.resize(content.size() * 2);
        const ssize_t n = read_some(fd, content.data() + filled, content.size() - filled);
        if (n < 0) return fail(os_error(errno));
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    content.resize(filled);
    return content;
}

// The whole vault file in one buffer, and the version it is.
struct FileBytes {
    std::string text;
    FileVersion version;
};

// Its content must be UTF-8; the error is the detail of "Tresor nicht lesbar: …".
Result<FileBytes> read_file_bytes(const std::string& path) {
    auto file = open_for_reading(path);
    if (!file) return fail(std::move(file.error()));
    const timespec clock_before = coarse_clock();
    struct stat info {};
    if (::fstat(file->get(), &info) != 0) return fail(os_error(errno));
    auto text = read_to_end(file->get(), info);
    if (!text) return fail(std::move(text.error()));
    Utf8Scanner scanner;
    if (!scanner.feed(*text) || !scanner.complete()) {
        return fail("stream did not contain valid UTF-8");
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
    if (auto made = change(found.vault); !made) return made;
    vault = std::move(found.vault);
    version = std::move(found.version);
    return {};
}

}  // namespace

Result<LoadedVault> load_vault(const std::string& path) {
    auto bytes = read_vault_bytes(path);
    if (!bytes) return fail(std::move(bytes.error()));
    return parse_loaded(std::move(*bytes));
}

Result<std::optional<LoadedVault>> newer_vault(const std::string& path,
                                               std::optional<FileVersion>& held) {
    if (check_file(path, held) != FileCheck::changed) return std::optional<LoadedVault>();
    auto bytes = read_vault_bytes(path);
    if (!bytes) return fail(std::move(bytes.error()));
    // Touched, or written anew with the same content: nothing to read into memory.
    if (held && held->same_bytes(bytes->version)) {
        held = std::move(bytes->version);
        return std::optional<LoadedVault>();
    }
    auto loaded = parse_loaded(std::move(*bytes));
    if (!loaded) return fail(std::move(loaded.error()));
    return std::optional<LoadedVault>(std::move(*loaded));
}

Status save_vault(const std::string& path, VaultFile& vault, std::optional<FileVersion>& version,
                  const VaultKey& key, const VaultChange& change) {
    auto written = replace_file(path, temporary_path(path), [&]() -> Result<std::string> {
        if (auto onto = onto_current_file(path, vault, version, key, change); !onto) {
            return fail(std::move(onto.error()));
        }
        return serialize_vault(vault);
    });
    if (!written) return fail(std::move(written.error()));
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
