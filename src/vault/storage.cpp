#include "vault/storage.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/os_error.hpp"
#include "base/posix.hpp"
#include "base/utf8.hpp"
#include "vault/replace_file.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

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

Result<std::string> read_whole_file(const std::string& path) {
    auto file = open_for_reading(path);
    if (!file) return fail(std::move(file.error()));
    struct stat info {};
    const bool sized = ::fstat(file->get(), &info) == 0 && S_ISREG(info.st_mode);
    std::string content;
    // One byte beyond the expected size, so that the final read sees the end at once.
    content.resize(sized ? static_cast<std::size_t>(info.st_size) + 1 : READ_CHUNK);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) content.resize(content.size() * 2);
        const ssize_t n = read_some(file->get(), content.data() + filled, content.size() - filled);
        if (n < 0) return fail(os_error(errno));
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    content.resize(filled);
    return content;
}

// The whole file in one buffer; its content must be UTF-8.
Result<std::string> read_vault_text(const std::string& path) {
    auto content = read_whole_file(path);
    if (!content) return content;
    Utf8Scanner scanner;
    if (!scanner.feed(*content) || !scanner.complete()) {
        return fail("stream did not contain valid UTF-8");
    }
    return content;
}

}  // namespace

Result<VaultFile> load_vault(const std::string& path) {
    const auto text = read_vault_text(path);
    if (!text) return fail("Tresor nicht lesbar: " + text.error());
    auto vault = parse_vault(*text);
    if (!vault) return fail("Tresor beschädigt: " + vault.error());
    if (vault->version != VAULT_VERSION) {
        return fail("unbekannte Tresorversion " + std::to_string(vault->version));
    }
    return vault;
}

Status save_vault(const std::string& path, const VaultFile& vault) {
    return replace_file(path, temporary_path(path), serialize_vault(vault));
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
