#include "crypto/seal.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "support/case_name.hpp"
#include "support/fixed_bytes.hpp"

namespace velkaron {
namespace {

using testing_support::counting_key;

std::string b64(std::span<const unsigned char> bytes) {
    return base64_encode(bytes);
}

TEST(Seal, RoundTripsWithAFreshNonceEachTime) {
    const Key32 key = counting_key(1);
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
    const Key32 key = counting_key(1);
    const Key32 vault_key = counting_key(9);
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
    const auto sealed = seal(counting_key(1), bytes_of("x"), VAULT_KEY_AD);
    ASSERT_TRUE(sealed.has_value());
    EXPECT_EQ(unseal(*sealed, counting_key(2), VAULT_KEY_AD).error(),
              "Entschlüsseln fehlgeschlagen");
    EXPECT_EQ(unseal(*sealed, counting_key(1), "vault-keY").error(),
              "Entschlüsseln fehlgeschlagen");
    EXPECT_EQ(unseal(*sealed, counting_key(1), "").error(), "Entschlüsseln fehlgeschlagen");
}

TEST(Seal, EveryFlippedBitIsRefused) {
    const Key32 key = counting_key(1);
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
    const char* name;
    const char* nonce;
    const char* ct;
    const char* message;
};

class UnsealFaults : public testing::TestWithParam<UnsealCase> {};

TEST_P(UnsealFaults, AreReportedInOrder) {
    const auto opened = unseal({GetParam().nonce, GetParam().ct}, counting_key(1), VAULT_KEY_AD);
    ASSERT_FALSE(opened.has_value());
    EXPECT_EQ(opened.error(), GetParam().message);
}

constexpr const char* NONCE_24 = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
constexpr const char* NONCE_12 = "AAAAAAAAAAAAAAAA";
constexpr const char* CT_16 = "AAAAAAAAAAAAAAAAAAAAAA==";

INSTANTIATE_TEST_SUITE_P(
    Table, UnsealFaults,
    testing::Values(UnsealCase{"NonceNotBase64", "not base64!", "nor this", "Nonce unlesbar"},
                    UnsealCase{"CiphertextNotBase64", NONCE_12, "nor this", "Geheimtext unlesbar"},
                    UnsealCase{"CiphertextWithALineFeed", NONCE_24, "AAAA\n",
                               "Geheimtext unlesbar"},
                    UnsealCase{"TwelveByteNonce", NONCE_12, CT_16, "Nonce hat die falsche Länge"},
                    UnsealCase{"EmptyNonce", "", CT_16, "Nonce hat die falsche Länge"},
                    UnsealCase{"CiphertextShorterThanATag", NONCE_24, "AAAAAAAAAAAAAAAAAAAA",
                               "Entschlüsseln fehlgeschlagen"},
                    UnsealCase{"EmptyCiphertext", NONCE_24, "", "Entschlüsseln fehlgeschlagen"},
                    UnsealCase{"ZeroTagAlone", NONCE_24, CT_16, "Entschlüsseln fehlgeschlagen"}),
    testing_support::CaseName{});

TEST(VaultKeyFromBytes, TakesExactlyThirtyTwoBytes) {
    for (const std::size_t size : {0u, 31u, 33u}) {
        const auto key = vault_key_from_bytes(SecretBytes(size));
        ASSERT_FALSE(key.has_value());
        EXPECT_EQ(key.error(), "Tresorschlüssel hat die falsche Länge");
    }
    const Key32 bytes = counting_key(7);
    const auto key = vault_key_from_bytes(SecretBytes(bytes.data(), bytes.size()));
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(std::memcmp(key->data(), bytes.data(), KEY_LEN), 0);
}

}  // namespace
}  // namespace velkaron
