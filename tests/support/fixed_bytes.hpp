#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "crypto/secret.hpp"

namespace velkaron::testing_support {

// Bytes counting up from `first`: fixed keys, salts and nonces that tell apart by their first
// byte and are easy to recognise in a dump.
inline std::vector<unsigned char> counting_bytes(unsigned char first, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(first + i);
    return bytes;
}

inline Key32 counting_key(unsigned char first) {
    Key32 key;
    for (std::size_t i = 0; i < key.size(); ++i)
        key.data()[i] = static_cast<unsigned char>(first + i);
    return key;
}

inline VaultKey counting_vault_key(unsigned char first) {
    const Key32 key = counting_key(first);
    return VaultKey(std::span<const unsigned char, KEY_LEN>(key.data(), key.size()));
}

}  // namespace velkaron::testing_support
