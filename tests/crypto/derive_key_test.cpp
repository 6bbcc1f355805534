#include "crypto/derive_key.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "crypto/argon2id.hpp"
#include "crypto/bytes.hpp"
#include "support/case_name.hpp"
#include "support/fixed_bytes.hpp"
#include "support/hex.hpp"

namespace velkaron {
namespace {

using testing_support::to_hex;

std::vector<unsigned char> salt_of(std::size_t size) {
    return testing_support::counting_bytes(0xA0, size);
}

std::string derived_hex(std::string_view secret, std::span<const unsigned char> salt,
                        const KdfParams& params) {
    const auto key = derive_key(bytes_of(secret), salt, params);
    if (!key) return "error: " + key.error();
    return to_hex({key->data(), key->size()});
}

TEST(DeriveKey, BothBackendsGiveTheSameKey) {
    const auto salt = salt_of(SALT_LEN);
    const std::pair<std::string_view, KdfParams> cases[] = {
        {std::string_view(), {8, 1, 1}},  // empty, without even a pointer
        {"correct horse", {8, 3, 1}},
        {"Grüße aus Köln", {101, 2, 1}},  // not a multiple of four blocks
        {"password", {1024, 1, 1}},
    };
    for (const auto& [secret, params] : cases) {
        ASSERT_TRUE(libsodium_takes(bytes_of(secret), salt, params));
        const auto fast = argon2id(Argon2Backend::libsodium, bytes_of(secret), salt, params);
        const auto reference = argon2id(Argon2Backend::libargon2, bytes_of(secret), salt, params);
        ASSERT_TRUE(fast && reference);
        EXPECT_EQ(to_hex({fast->data(), fast->size()}),
                  to_hex({reference->data(), reference->size()}))
            << params.memory_kib << "/" << params.iterations;
    }
}

struct CheckCase {
    const char* name;
    KdfParams params;
    std::size_t salt_len;
    const char* outcome;  // the message, or nullptr for a key
};

class DeriveKeyChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(DeriveKeyChecks, ComeInOrderWithTheirWording) {
    const auto& c = GetParam();
    const auto key = derive_key(bytes_of("pw"), salt_of(c.salt_len), c.params);
    if (c.outcome == nullptr) {
        EXPECT_TRUE(key.has_value()) << key.error();
    } else {
        ASSERT_FALSE(key.has_value());
        EXPECT_EQ(key.error(), c.outcome);
    }
}

constexpr const char* MEMORY_SMALL = "ungültige KDF-Parameter: memory cost is too small";
constexpr const char* NO_MEMORY = "Schlüsselableitung fehlgeschlagen: memory allocation failed";
constexpr std::uint32_t MAX_U32 = 0xFFFFFFFF;
constexpr const char* TOO_MUCH_WORK =
    "ungültige KDF-Parameter: memory and time cost together are too large";

INSTANTIATE_TEST_SUITE_P(
    Table, DeriveKeyChecks,
    testing::Values(
        CheckCase{"SevenKibibytes", {7, 1, 1}, 16, MEMORY_SMALL},
        CheckCase{"FifteenKibibytesForTwoLanes", {15, 1, 2}, 16, MEMORY_SMALL},
        CheckCase{"SixteenKibibytesForTwoLanes", {16, 1, 2}, 16, nullptr},
        CheckCase{"AllZero", {0, 0, 0}, 16, MEMORY_SMALL},
        // 8 x 2^29 wraps to 0 in 32 bits.
        CheckCase{"LaneCountWrapsTheMemoryBound", {8, 1, 0x20000000}, 16, MEMORY_SMALL},
        CheckCase{"NoPasses", {8, 0, 0}, 16, "ungültige KDF-Parameter: time cost is too small"},
        CheckCase{"NoLanes", {8, 1, 0}, 16, "ungültige KDF-Parameter: not enough threads"},
        CheckCase{"TooManyLanes",
                  {MAX_U32, 1, 0x1000000},
                  16,
                  "ungültige KDF-Parameter: too many threads"},
        // 4 TiB: refused before anything is allocated, and before the salt is looked at.
        CheckCase{"FourTebibytes", {MAX_U32, 1, 1}, 16, NO_MEMORY},
        CheckCase{"FourTebibytesBeforeAShortSalt", {MAX_U32, 1, 4}, 7, NO_MEMORY},
        CheckCase{
            "SevenByteSalt", {8, 1, 1}, 7, "Schlüsselableitung fehlgeschlagen: salt is too short"},
        CheckCase{"NoSalt", {8, 1, 1}, 0, "Schlüsselableitung fehlgeschlagen: salt is too short"},
        CheckCase{"EightByteSalt", {8, 1, 1}, 8, nullptr},
        CheckCase{"ThreeLanesAndLongSalt", {24, 1, 3}, 24, nullptr},
        // Memory x passes is bounded after every other check: 64 MiB x 1024 passes is the most.
        CheckCase{"OnePassTooMany", {65536, 1025, 1}, 16, TOO_MUCH_WORK},
        CheckCase{"BillionsOfPasses", {8, MAX_U32, 1}, 16, TOO_MUCH_WORK},
        CheckCase{"ShortSaltBeforeTheWork",
                  {65536, MAX_U32, 1},
                  7,
                  "Schlüsselableitung fehlgeschlagen: salt is too short"},
        CheckCase{"NoLanesBeforeTheWork",
                  {8, MAX_U32, 0},
                  16,
                  "ungültige KDF-Parameter: not enough threads"}),
    testing_support::CaseName{});

TEST(DeriveKey, StoredMemoryEntersTheHashUnrounded) {
    const auto salt = salt_of(SALT_LEN);
    const std::string rounded = derived_hex("pw", salt, {65536, 1, 1});
    EXPECT_EQ(rounded.size(), 64u) << rounded;
    EXPECT_NE(derived_hex("pw", salt, {65537, 1, 1}), rounded);
}

TEST(DeriveKey, DependsOnSecretAndSaltOnly) {
    const auto salt = salt_of(SALT_LEN);
    auto other_salt = salt_of(SALT_LEN);
    other_salt[0] ^= 1;
    const KdfParams params{8, 1, 1};
    const std::string key = derived_hex("", salt, params);
    EXPECT_EQ(key.size(), 64u) << key;
    EXPECT_EQ(derived_hex("", salt, params), key);
    EXPECT_NE(derived_hex("", other_salt, params), key);
    EXPECT_NE(derived_hex("x", salt, params), key);
}

#if !defined(__SANITIZE_ADDRESS__)
// Runs in the death test's child: 2 GiB of work memory under a 1 GiB address-space cap, so the
// allocation itself fails although the memory guard lets it through.
[[noreturn]] void derive_with_capped_address_space(std::uint32_t lanes) {
    const rlimit cap{std::size_t{1} << 30, std::size_t{1} << 30};
    setrlimit(RLIMIT_AS, &cap);
    const auto key = derive_key(bytes_of("pw"), salt_of(SALT_LEN), {1u << 21, 1, lanes});
    std::exit(!key && key.error() == NO_MEMORY ? 0 : 1);
}

TEST(DeriveKeyDeathTest, FailedAllocationIsAMessage) {
    // One lane takes libsodium, two take libargon2.
    EXPECT_EXIT(derive_with_capped_address_space(1), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(derive_with_capped_address_space(2), testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace velkaron
