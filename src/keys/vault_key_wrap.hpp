#pragma once

#include <span>
#include <string_view>

#include "base/result.hpp"
#include "crypto/kdf_params.hpp"
#include "crypto/secret.hpp"
#include "vault/records.hpp"

namespace velkaron {

// The vault key sealed under a key derived from a secret, with the record of that derivation.
struct WrappedVaultKey {
    KdfRecord kdf;
    Sealed sealed;
};

// Draws a fresh salt, derives a key from `secret` with `params` and seals the vault key under
// it. Fails with the message of derive_key or seal.
[[nodiscard]] Result<WrappedVaultKey> wrap_vault_key(const VaultKey& vault_key,
                                                     std::span<const unsigned char> secret,
                                                     const KdfParams& params);

// Derives the key from `secret` as `kdf` records it and unseals the vault key. Any failure to
// unseal becomes `wrong_secret`: the user cannot tell, nor can we, a wrong secret from damage.
[[nodiscard]] Result<VaultKey> unwrap_vault_key(const KdfRecord& kdf, const Sealed& sealed,
                                                std::span<const unsigned char> secret,
                                                std::string_view wrong_secret);

}  // namespace velkaron
