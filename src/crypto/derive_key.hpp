#pragma once

#include <span>

#include "base/result.hpp"
#include "crypto/kdf_params.hpp"
#include "crypto/secret.hpp"

namespace velkaron {

inline constexpr std::size_t SALT_LEN = 16;
inline constexpr const char* KDF_ALGORITHM = "argon2id";

// Argon2id (RFC 9106, version 0x13, 32-byte tag, no secret value, no associated data), after
// the parameter checks, a check of the memory available and the input checks.
[[nodiscard]] Result<Key32> derive_key(std::span<const unsigned char> secret,
                                       std::span<const unsigned char> salt,
                                       const KdfParams& params);

}  // namespace velkaron
