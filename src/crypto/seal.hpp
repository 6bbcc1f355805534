#pragma once

#include <span>
#include <string_view>

#include "base/result.hpp"
#include "crypto/sealed.hpp"
#include "crypto/secret.hpp"

namespace velkaron {

inline constexpr std::string_view VAULT_KEY_AD = "vault-key";

// XChaCha20-Poly1305 under `key` with a fresh random nonce; both parts as Base64 text.
[[nodiscard]] Result<Sealed> seal(const Key32& key, std::span<const unsigned char> plaintext,
                                  std::string_view associated_data);

// The plaintext, or "Nonce unlesbar", "Geheimtext unlesbar", "Nonce hat die falsche Länge",
// "Entschlüsseln fehlgeschlagen", checked in that order.
[[nodiscard]] Result<SecretBytes> unseal(const Sealed& sealed, const Key32& key,
                                         std::string_view associated_data);

// Takes an unsealed plaintext; exactly 32 bytes become the vault key. The plaintext is wiped
// either way.
[[nodiscard]] Result<VaultKey> vault_key_from_bytes(SecretBytes plaintext);

}  // namespace velkaron
