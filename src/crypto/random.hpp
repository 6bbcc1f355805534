#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "crypto/secret.hpp"

namespace velkaron {

// Fills `out` from getentropy, at most 256 bytes a call. The random source failing ends the
// process (exit 101) with `fatal_prefix` followed by the system's error on standard error.
void fill_random(std::span<unsigned char> out, std::string_view fatal_prefix = "Error: ");

// `size` fresh random bytes in a buffer that wipes itself.
[[nodiscard]] SecretBytes random_bytes(std::size_t size);

}  // namespace velkaron
