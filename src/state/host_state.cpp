#include "state/host_state.hpp"

#include <utility>

#include "vault/same_vault.hpp"

namespace velkaron {

HostState::HostState(std::string vault_path, KdfParams kdf_params)
    : path_(std::move(vault_path)), kdf_params_(kdf_params) {}

void HostState::adopt(VaultFile vault, std::optional<FileVersion> version) {
    if (key_ && (!version || !vault_ || !same_vault(*vault_, vault, *key_))) key_.reset();
    vault_ = std::move(vault);
    version_ = std::move(version);
}

void HostState::follow_file() {
    auto newer = newer_vault(path_, version_);
    if (!newer || !*newer) return;
    adopt(std::move((*newer)->vault), std::move((*newer)->version));
}

Status HostState::unlock(VaultKey key) {
    if (!vault_) return fail(NOT_LOADED);
    key_ = std::move(key);
    return {};
}

void HostState::lock() noexcept {
    key_.reset();
    vault_.reset();
    version_.reset();
}

Status HostState::change_vault(const VaultChange& change) {
    if (!key_) return fail(LOCKED);
    VELKARON_TRY(made, change(*vault_));
    return save(*key_, change);
}

Status HostState::save_new_vault(VaultFile made, VaultKey key) {
    adopt(std::move(made), std::nullopt);
    if (auto saved = save(key, {}); !saved) return saved;
    key_ = std::move(key);
    return {};
}

Status HostState::save(const VaultKey& key, const VaultChange& change) {
    return save_vault(path_, *vault_, version_, key, change);
}

}  // namespace velkaron
