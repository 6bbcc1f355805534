#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crypto/sealed.hpp"

namespace velkaron {

inline constexpr std::uint32_t VAULT_VERSION = 1;

// The records of the vault file are also the in-memory form of a loaded vault. Binary values
// (salts, nonces, ciphertexts) stay Base64 text until they are used.

struct KdfRecord {
    std::string algorithm;
    std::uint32_t memory_kib = 0;
    std::uint32_t iterations = 0;
    std::uint32_t parallelism = 0;
    std::string salt;

    friend bool operator==(const KdfRecord&, const KdfRecord&) = default;
};

// In the file, `sealed` contributes its `nonce` and `ct` to the entry object itself.
struct SealedEntry {
    std::string id;
    Sealed sealed;

    friend bool operator==(const SealedEntry&, const SealedEntry&) = default;
};

// In the file, `sealed` contributes its `nonce` and `ct` to the recovery object itself.
struct Recovery {
    KdfRecord kdf;
    Sealed sealed;

    friend bool operator==(const Recovery&, const Recovery&) = default;
};

struct VaultFile {
    std::uint32_t version = 0;
    KdfRecord kdf;
    Sealed wrapped_key;
    std::optional<Recovery> recovery;
    std::vector<SealedEntry> entries;

    friend bool operator==(const VaultFile&, const VaultFile&) = default;
};

}  // namespace velkaron
