#pragma once

#include <optional>
#include <string>
#include <utility>

#include "crypto/kdf_params.hpp"
#include "crypto/secret.hpp"
#include "vault/file_version.hpp"
#include "vault/records.hpp"

namespace velkaron {

// Everything the process remembers between requests. The vault counts as unlocked exactly
// while `key` is present; whenever `key` is present, `vault` is present too. The vault file is
// the truth and `vault` a copy of `version` of it, plus any change whose save failed.
struct HostState {
    explicit HostState(std::string vault_path) : path(std::move(vault_path)) {}

    std::string path;
    std::optional<VaultFile> vault;
    std::optional<FileVersion> version;  // none until a read or write of the file succeeded
    KdfParams kdf_params = DEFAULT_KDF_PARAMS;
    std::optional<VaultKey> key;  // wiped by VaultKey itself when replaced or dropped

    [[nodiscard]] bool unlocked() const noexcept { return key.has_value(); }

    // Forget the key (wiping it) and drop the in-memory vault.
    void lock() noexcept {
        key.reset();
        vault.reset();
        version.reset();
    }
};

}  // namespace velkaron
