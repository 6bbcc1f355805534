#include "crypto/seal.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/random.hpp"

namespace velkaron {
namespace {

constexpr std::size_t NONCE_LEN = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t TAG_LEN = crypto_aead_xchacha20poly1305_ietf_ABYTES;
// The 32-bit block counter runs out after this many bytes (block 0 keys Poly1305).
constexpr std::uint64_t MAX_PLAINTEXT = 64 * (std::uint64_t{1} << 32) - 64;

}  // namespace

Result<Sealed> seal(const Key32& key, std::span<const unsigned char> plaintext,
                    std::string_view associated_data) {
    if (plaintext.size() >= MAX_PLAINTEXT) return fail("Verschlüsseln fehlgeschlagen");
    const SecretBytes nonce = random_bytes(NONCE_LEN);
    // Encrypting from the caller's buffer: this one never holds plaintext.
    std::vector<unsigned char> ct(plaintext.size() + TAG_LEN);
    unsigned long long ct_len = 0;
    if (crypto_aead_xchacha20poly1305_ietf_encrypt(
            ct.data(), &ct_len, plaintext.data(), plaintext.size(),
            bytes_of(associated_data).data(), associated_data.size(), nullptr, nonce.data(),
            key.data()) != 0) {
        return fail("Verschlüsseln fehlgeschlagen");
    }
    return Sealed{base64_encode(nonce.span()), base64_encode(ct)};
}

Result<std::string_view> Unsealer::open(const Sealed& sealed, const Key32& key,
                                        std::string_view associated_data) {
    wipe();
    if (!base64_decode_into(sealed.nonce, nonce_)) return fail("Nonce unlesbar");
    if (!base64_decode_into(sealed.ct, ciphertext_)) return fail("Geheimtext unlesbar");
    if (nonce_.size() != NONCE_LEN) return fail("Nonce hat die falsche Länge");
    if (ciphertext_.size() < TAG_LEN) return fail("Entschlüsseln fehlgeschlagen");

    const std::size_t size = ciphertext_.size() - TAG_LEN;
    // Grown by replacing: the old buffer is wiped as it goes.
    if (plaintext_.size() < size) plaintext_ = SecretBytes(std::max(size, 2 * plaintext_.size()));
    // The tag is checked, in constant time, before anything is decrypted.
    unsigned long long plaintext_len = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            plaintext_.data(), &plaintext_len, nullptr, ciphertext_.data(), ciphertext_.size(),
            bytes_of(associated_data).data(), associated_data.size(), nonce_.data(),
            key.data()) != 0) {
        return fail("Entschlüsseln fehlgeschlagen");
    }
    used_ = size;
    return plaintext_.view().substr(0, size);
}

void Unsealer::wipe() noexcept {
    if (used_ != 0) sodium_memzero(plaintext_.data(), used_);
    used_ = 0;
}

Result<SecretBytes> unseal(const Sealed& sealed, const Key32& key,
                           std::string_view associated_data) {
    Unsealer unsealer;
    VELKARON_TRY(plaintext, unsealer.open(sealed, key, associated_data));
    return SecretBytes(plaintext->data(), plaintext->size());
}

Result<VaultKey> vault_key_from_bytes(SecretBytes plaintext) {
    // `plaintext` is wiped when it goes out of scope, on both paths.
    if (plaintext.size() != VaultKey::size()) return fail("Tresorschlüssel hat die falsche Länge");
    return VaultKey(std::span<const unsigned char, KEY_LEN>(plaintext.data(), KEY_LEN));
}

}  // namespace velkaron
