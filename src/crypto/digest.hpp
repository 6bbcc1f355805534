#pragma once

#include <sodium.h>

#include <array>
#include <string_view>

namespace velkaron {

// BLAKE2b of a file's bytes: tells two versions of the vault file apart by content.
using Digest = std::array<unsigned char, crypto_generichash_BYTES>;

[[nodiscard]] Digest digest_of(std::string_view bytes) noexcept;

}  // namespace velkaron
