#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "crypto/sealed.hpp"
#include "crypto/secret.hpp"

namespace velkaron {

inline constexpr std::string_view VAULT_KEY_AD = "vault-key";

// XChaCha20-Poly1305 under `key` with a fresh random nonce; both parts as Base64 text.
[[nodiscard]] Result<Sealed> seal(const Key32& key, std::span<const unsigned char> plaintext,
                                  std::string_view associated_data);

// Unseals value after value into buffers it keeps, so that opening every entry of a vault
// allocates only when a plaintext is longer than any before. The plaintext is wiped when the
// next value is opened, on wipe(), and with the buffer when the Unsealer dies.
class Unsealer {
  public:
    // The plaintext, valid until the next open or wipe; fails as unseal does.
    [[nodiscard]] Result<std::string_view> open(const Sealed& sealed, const Key32& key,
                                                std::string_view associated_data);
    void wipe() noexcept;

  private:
    std::vector<unsigned char> nonce_;       // public bytes, as stored
    std::vector<unsigned char> ciphertext_;  // public bytes, as stored
    SecretBytes plaintext_;
    std::size_t used_ = 0;  // bytes of plaintext_ holding the last plaintext
};

// The plaintext, or "Nonce unlesbar", "Geheimtext unlesbar", "Nonce hat die falsche Länge",
// "Entschlüsseln fehlgeschlagen", checked in that order.
[[nodiscard]] Result<SecretBytes> unseal(const Sealed& sealed, const Key32& key,
                                         std::string_view associated_data);

// Takes an unsealed plaintext; exactly 32 bytes become the vault key. The plaintext is wiped
// either way.
[[nodiscard]] Result<VaultKey> vault_key_from_bytes(SecretBytes plaintext);

}  // namespace velkaron
