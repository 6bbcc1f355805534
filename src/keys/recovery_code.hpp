#pragma once

#include <string>
#include <string_view>

#include "base/secret_string.hpp"
#include "crypto/secret.hpp"

namespace velkaron {

// 32 characters without I, O, 0 and 1, so that a written-down code reads back unambiguously.
inline constexpr std::string_view RECOVERY_CODE_ALPHABET = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";

// Five groups of four characters joined by "-": 100 random bits.
[[nodiscard]] SecretString generate_recovery_code();

// The code as typed, reduced to its ASCII letters and digits, upper case: the secret from which
// the recovery key is derived.
[[nodiscard]] SecretBytes normalize_recovery_code(std::string_view typed);

}  // namespace velkaron
