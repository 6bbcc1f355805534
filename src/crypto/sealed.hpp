#pragma once

#include <string>

namespace velkaron {

// One value sealed with XChaCha20-Poly1305: the nonce, and the ciphertext followed by its tag,
// both as Base64 text, exactly as they stand in the vault file.
struct Sealed {
    std::string nonce;
    std::string ct;

    friend bool operator==(const Sealed&, const Sealed&) = default;
};

}  // namespace velkaron
