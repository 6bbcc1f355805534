#include "crypto/seal.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/hex.hpp"

namespace velkaron {
namespace {

using testing_support::from_hex;

Key32 key_of(unsigned char first) {
    Key32 key;
    for (std::size_t i = 0; i < key.size(); ++i)
        key.data()[i] = static_cast<unsigned char>(first + i);
    return key;
}

std::string b64(std::span<const unsigned char> bytes) {
    return base64_encode(bytes);
}

// draft-irtf-cfrg-xchacha-03, appendix A.3.1 (AEAD_XChaCha20_Poly1305 test vector).
TEST(Seal, OpensThePublishedXChaCha20Poly1305Vector) {
    const std::string_view plaintext =
        "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
        "future, sunscreen would be it.";
    const auto ad = from_hex("50515253c0c1c2c3c4c5c6c7");
    const auto nonce = from_hex("404142434445464748494a4b4c4d4e4f5051525354555657");
    const auto ct = from_hex(
        "bd6d179d3e83d43b9576579493c0e939572a1700252bfaccbed2902c21396cbb731c7f1b0b4aa6440bf3a82f"
        "4eda7e39ae64c6708c54c216cb96b72e1213b4522f8c9ba40db5d945b11b69b982c1bb9e3f3fac2bc369488f"
        "76b2383565d3fff921f9664c97637da9768812f615c68b13b52e"
        "c0875924c1c7987947deafd8780acf49");
    const std::string_view ad_text(reinterpret_cast<const char*>(ad.data()), ad.size());

    const auto opened = unseal({b64(nonce), b64(ct)}, key_of(0x80), ad_text);
    ASSERT_TRUE(opened.has_value()) << opened.error();
    EXPECT_EQ(opened->view(), plaintext);
}

TEST(Seal, RoundTripsWithAFreshNonceEachTime) {
    const Key32 key = key_of(1);
    const auto first = seal(key, bytes_of("geheim"), "entry-1");
    const auto second = seal(key, bytes_of("geheim"), "entry-1");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->nonce, second->nonce);
    EXPECT_NE(first->ct, second->ct);
    for (const auto* sealed : {&*first, &*second}) {
        const auto opened = unseal(*sealed, key, "entry-1");
        ASSERT_TRUE(opened.has_value()) << opened.error();
        EXPECT_EQ(opened->view(), "geheim");
    }
}

TEST(Seal, TextLengthsOfAVaultKeyAndOfNothing) {
    const Key32 key = key_of(1);
    const Key32 vault_key = key_of(9);
    const auto wrapped = seal(key, {vault_key.data(), vault_key.size()}, VAULT_KEY_AD);
    ASSERT_TRUE(wrapped.has_value());
    EXPECT_EQ(wrapped->nonce.size(), 32u);
    EXPECT_EQ(wrapped->ct.size(), 64u);
    EXPECT_EQ(wrapped->ct.find('='), std::string::npos);

    const auto empty = seal(key, {}, VAULT_KEY_AD);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->ct.size(), 24u);
    EXPECT_TRUE(empty->ct.ends_with("=="));
    const auto opened = unseal(*empty, key, VAULT_KEY_AD);
    ASSERT_TRUE(opened.has_value());
    EXPECT_TRUE(opened->empty());
}

TEST(Seal, IsBoundToKeyAndAssociatedData) {
    const auto sealed = seal(key_of(1), bytes_of("x"), VAULT_KEY_AD);
    ASSERT_TRUE(sealed.has_value());
    EXPECT_EQ(unseal(*sealed, key_of(2), VAULT_KEY_AD).error(), "Entschlüsseln fehlgeschlagen");
    EXPECT_EQ(unseal(*sealed, key_of(1), "vault-keY").error(), "Entschlüsseln fehlgeschlagen");
    EXPECT_EQ(unseal(*sealed, key_of(1), "").error(), "Entschlüsseln fehlgeschlagen");
}

TEST(Seal, EveryFlippedBitIsRefused) {
    const Key32 key = key_of(1);
    const auto sealed = seal(key, bytes_of("hunter2"), "id");
    ASSERT_TRUE(sealed.has_value());
    const auto nonce = *base64_decode(sealed->nonce);
    const auto ct = *base64_decode(sealed->ct);
    for (std::size_t bit = 0; bit < (nonce.size() + ct.size()) * 8; ++bit) {
        auto n = nonce;
        auto c = ct;
        auto& byte = bit / 8 < n.size() ? n[bit / 8] : c[bit / 8 - n.size()];
        byte ^= static_cast<unsigned char>(1u << bit % 8);
        const auto opened = unseal({b64(n), b64(c)}, key, "id");
        ASSERT_FALSE(opened.has_value()) << bit;
        EXPECT_EQ(opened.error(), "Entschlüsseln fehlgeschlagen");
    }
}

struct UnsealCase {
    const char* nonce;
    const char* ct;
    const char* message;
};

class UnsealFaults : public testing::TestWithParam<UnsealCase> {};

TEST_P(UnsealFaults, AreReportedInOrder) {
    const auto opened = unseal({GetParam().nonce, GetParam().ct}, key_of(1), VAULT_KEY_AD);
    ASSERT_FALSE(opened.has_value());
    EXPECT_EQ(opened.error(), GetParam().message);
}

constexpr const char* NONCE_24 = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
constexpr const char* NONCE_12 = "AAAAAAAAAAAAAAAA";
constexpr const char* CT_16 = "AAAAAAAAAAAAAAAAAAAAAA==";

INSTANTIATE_TEST_SUITE_P(
    Table, UnsealFaults,
    testing::Values(UnsealCase{"not base64!", "nor this", "Nonce unlesbar"},
                    UnsealCase{NONCE_12, "nor this", "Geheimtext unlesbar"},
                    UnsealCase{NONCE_24, "AAAA\n", "Geheimtext unlesbar"},
                    UnsealCase{NONCE_12, CT_16, "Nonce hat die falsche Länge"},
                    UnsealCase{"", CT_16, "Nonce hat die falsche Länge"},
                    UnsealCase{NONCE_24, "AAAAAAAAAAAAAAAAAAAA", "Entschlüsseln fehlgeschlagen"},
                    UnsealCase{NONCE_24, "", "Entschlüsseln fehlgeschlagen"},
                    UnsealCase{NONCE_24, CT_16, "Entschlüsseln fehlgeschlagen"}));

TEST(VaultKeyFromBytes, TakesExactlyThirtyTwoBytes) {
    for (const std::size_t size : {0u, 31u, 33u}) {
        const auto key = vault_key_from_bytes(SecretBytes(size));
        ASSERT_FALSE(key.has_value());
        EXPECT_EQ(key.error(), "Tresorschlüssel hat die falsche Länge");
    }
    const Key32 bytes = key_of(7);
    const auto key = vault_key_from_bytes(SecretBytes(bytes.data(), bytes.size()));
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(std::memcmp(key->data(), bytes.data(), KEY_LEN), 0);
}

}  // namespace
}  // namespace velkaron
