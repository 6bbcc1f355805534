#pragma once

#include <cstdint>

namespace velkaron {

// The three Argon2id costs of one derivation.
struct KdfParams {
    std::uint32_t memory_kib = 0;
    std::uint32_t iterations = 0;
    std::uint32_t parallelism = 0;

    friend bool operator==(const KdfParams&, const KdfParams&) = default;
};

// Costs of every new derivation: 64 MiB, three passes, one lane.
inline constexpr KdfParams DEFAULT_KDF_PARAMS{65536, 3, 1};

}  // namespace velkaron
