#pragma once

// Argon2id and XChaCha20-Poly1305 straight from the libraries, as another program reading or
// writing vault files would call them: an implementation independent of ours.

#include <argon2.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velkaron::testing_support {

using Bytes = std::vector<unsigned char>;

// The 32-byte Argon2id (version 0x13) key of `secret` under the numbers of a vault file's
// `kdf` record, through libargon2's own interface.
inline Bytes argon2id_outside(std::string_view secret, const Bytes& salt,
                              const nlohmann::ordered_json& kdf) {
    Bytes key(crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
    EXPECT_EQ(argon2id_hash_raw(kdf["iterations"].get<std::uint32_t>(),
                                kdf["memory_kib"].get<std::uint32_t>(),
                                kdf["parallelism"].get<std::uint32_t>(), secret.data(),
                                secret.size(), salt.data(), salt.size(), key.data(), key.size()),
              ARGON2_OK);
    return key;
}

inline Bytes seal_outside(const Bytes& key, const Bytes& nonce,
                          std::span<const unsigned char> plaintext,
                          std::string_view associated_data) {
    Bytes ct(plaintext.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES);
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        ct.data(), nullptr, plaintext.data(), plaintext.size(),
        reinterpret_cast<const unsigned char*>(associated_data.data()), associated_data.size(),
        nullptr, nonce.data(), key.data());
    return ct;
}

// The plaintext, or nothing when the nonce has the wrong length or the value does not open.
inline std::optional<Bytes> open_outside(const Bytes& key, const Bytes& nonce, const Bytes& ct,
                                         std::string_view associated_data) {
    if (nonce.size() != crypto_aead_xchacha20poly1305_ietf_NPUBBYTES ||
        ct.size() < crypto_aead_xchacha20poly1305_ietf_ABYTES) {
        return std::nullopt;
    }
    Bytes plaintext(ct.size() - crypto_aead_xchacha20poly1305_ietf_ABYTES);
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            plaintext.data(), nullptr, nullptr, ct.data(), ct.size(),
            reinterpret_cast<const unsigned char*>(associated_data.data()), associated_data.size(),
            nonce.data(), key.data()) != 0) {
        return std::nullopt;
    }
    return plaintext;
}

}  // namespace velkaron::testing_support
