#include "keys/vault_key_wrap.hpp"

#include "crypto/base64.hpp"
#include "crypto/derive_key.hpp"
#include "crypto/random.hpp"
#include "crypto/seal.hpp"

namespace velkaron {

Result<WrappedVaultKey> wrap_vault_key(const VaultKey& vault_key,
                                       std::span<const unsigned char> secret,
                                       const KdfParams& params) {
    const SecretBytes salt = random_bytes(SALT_LEN);
    VELKARON_TRY(key, derive_key(secret, salt.span(), params));
    VELKARON_TRY(sealed, seal(*key, {vault_key.data(), vault_key.size()}, VAULT_KEY_AD));
    return WrappedVaultKey{
        KdfRecord{KDF_ALGORITHM, params.memory_kib, params.iterations, params.parallelism,
                  base64_encode(salt.span())},
        std::move(*sealed),
    };
}

Result<VaultKey> unwrap_vault_key(const KdfRecord& kdf, const Sealed& sealed,
                                  std::span<const unsigned char> secret,
                                  std::string_view wrong_secret) {
    const auto salt = base64_decode(kdf.salt);
    if (!salt) return fail("Salt unlesbar");
    // The stored numbers, whatever `algorithm` says: it is written but never read.
    VELKARON_TRY(key, derive_key(secret, *salt, {kdf.memory_kib, kdf.iterations, kdf.parallelism}));
    auto plaintext = unseal(sealed, *key, VAULT_KEY_AD);
    if (!plaintext) return fail(std::string(wrong_secret));
    return vault_key_from_bytes(std::move(*plaintext));
}

}  // namespace velkaron
