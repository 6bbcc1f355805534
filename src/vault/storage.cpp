#include "vault/storage.hpp"

#include "base/read_file.hpp"
#include "base/utf8.hpp"
#include "vault/replace_file.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

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
