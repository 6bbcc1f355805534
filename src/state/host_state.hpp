#pragma once

#include <optional>
#include <string>

#include "base/result.hpp"
#include "crypto/kdf_params.hpp"
#include "crypto/secret.hpp"
#include "vault/file_version.hpp"
#include "vault/records.hpp"
#include "vault/storage.hpp"

namespace velkaron {

inline constexpr char NOT_LOADED[] = "kein Tresor geladen";
inline constexpr char LOCKED[] = "Tresor ist gesperrt";

// Everything the process remembers between requests. Its rules hold by construction: the
// vault counts as unlocked exactly while a key is held, and a key is only ever held together
// with the vault in memory. The vault file is the truth and the vault in memory a copy of the
// file version held, plus any change whose save failed.
class HostState {
  public:
    explicit HostState(std::string vault_path, KdfParams kdf_params = DEFAULT_KDF_PARAMS);

    [[nodiscard]] const std::string& path() const noexcept { return path_; }
    [[nodiscard]] const KdfParams& kdf_params() const noexcept { return kdf_params_; }
    // The vault in memory, or nullptr when none is loaded.
    [[nodiscard]] VaultFile* vault() noexcept { return vault_ ? &*vault_ : nullptr; }
    [[nodiscard]] const VaultFile* vault() const noexcept { return vault_ ? &*vault_ : nullptr; }
    // The key held, or nullptr while locked.
    [[nodiscard]] const VaultKey* key() const noexcept { return key_ ? &*key_ : nullptr; }
    [[nodiscard]] bool unlocked() const noexcept { return key_.has_value(); }

    // Takes `vault` as the vault in memory: read from the vault file as `version`, or made here
    // and not saved yet (no version). A key held stays only when `vault` is the same vault
    // (same_vault); a vault not saved yet never keeps one.
    void adopt(VaultFile vault, std::optional<FileVersion> version);

    // Compares the vault file with the version held (one stat) and adopts it when another
    // program has changed it. A file half-written, damaged or gone is not taken: memory keeps
    // answering, and a save refuses that file until it reads again.
    void follow_file();

    // Holds `key` for the vault in memory, wiping a key held before; "kein Tresor geladen"
    // when there is none.
    [[nodiscard]] Status unlock(VaultKey key);

    // Forgets the key (wiping it) and drops the vault in memory.
    void lock() noexcept;

    // Makes `change` on the vault in memory and saves it with save_vault, which makes it again
    // on the vault file should another client have changed that meanwhile; "Tresor ist
    // gesperrt" while locked. A failed save keeps the change in memory.
    [[nodiscard]] Status change_vault(const VaultChange& change);

    // Adopts `made`, a vault just made for `key`, and saves it with nothing to make again: a
    // file that appeared at the path meanwhile cannot hold it and is refused. Holds `key` once
    // saved; after a failed save `made` stays in memory, locked.
    [[nodiscard]] Status save_new_vault(VaultFile made, VaultKey key);

  private:
    [[nodiscard]] Status save(const VaultKey& key, const VaultChange& change);

    std::string path_;
    KdfParams kdf_params_;
    std::optional<VaultFile> vault_;
    std::optional<FileVersion> version_;  // none until a read or write of the file succeeded
    std::optional<VaultKey> key_;         // wiped by VaultKey itself when replaced or dropped
};

}  // namespace velkaron
