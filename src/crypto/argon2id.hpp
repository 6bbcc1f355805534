#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "crypto/kdf_params.hpp"
#include "crypto/secret.hpp"

namespace velkaron {

// The two Argon2id implementations behind derive_key. Both compute RFC 9106 and give the same
// key; libsodium's is the faster one but takes only one lane and a 16-byte salt.
enum class Argon2Backend { libsodium, libargon2 };

// "Schlüsselableitung fehlgeschlagen: {detail}"
[[nodiscard]] std::string derivation_failed(std::string_view detail);

// Whether libsodium computes exactly RFC 9106 Argon2id on these inputs.
[[nodiscard]] bool libsodium_takes(std::span<const unsigned char> secret,
                                   std::span<const unsigned char> salt,
                                   const KdfParams& params) noexcept;

// Argon2id on the given back end, for inputs that passed derive_key's checks (and, for
// libsodium, libsodium_takes). Fails when the work memory cannot be allocated.
[[nodiscard]] Result<Key32> argon2id(Argon2Backend backend, std::span<const unsigned char> secret,
                                     std::span<const unsigned char> salt, const KdfParams& params);

}  // namespace velkaron
