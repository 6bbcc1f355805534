#include "vault/same_vault.hpp"

#include <gtest/gtest.h>

#include <string>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "support/case_name.hpp"
#include "support/fixed_bytes.hpp"

namespace velkaron {
namespace {

using testing_support::counting_vault_key;

const VaultKey KEY = counting_vault_key(0x01);
const VaultKey OTHER_KEY = counting_vault_key(0x03);

SealedEntry entry(const VaultKey& key, const std::string& id) {
    auto sealed = seal(key.copy(), bytes_of("login"), id);
    EXPECT_TRUE(sealed.has_value());
    return {id, sealed.value_or(Sealed{})};
}

Recovery recovery(const char* ct) {
    return {KdfRecord{"argon2id", 8, 1, 1, "c2FsdHNhbHRzYWx0c2FsdA=="}, Sealed{"bm9uY2U=", ct}};
}

struct VaultCase {
    const char* name;
    std::optional<Recovery> held_recovery;
    std::optional<Recovery> found_recovery;
    std::vector<SealedEntry> found_entries;
    bool same;
};

class SameVault : public testing::TestWithParam<VaultCase> {};

TEST_P(SameVault, IsToldByWhatTheFoundFileCarries) {
    VaultFile held;
    held.recovery = GetParam().held_recovery;
    held.entries = {entry(KEY, "held")};
    VaultFile found;
    found.recovery = GetParam().found_recovery;
    found.entries = GetParam().found_entries;
    EXPECT_EQ(same_vault(held, found, KEY), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SameVault,
    testing::Values(
        VaultCase{"IdenticalRecoveryRecord", recovery("YQ=="), recovery("YQ=="), {}, true},
        VaultCase{"OtherRecoveryRecord", recovery("YQ=="), recovery("Yg=="), {}, false},
        // The held copy's own entries prove nothing: only what the found file carries counts.
        VaultCase{"NeitherRecordNorEntries", std::nullopt, std::nullopt, {}, false},
        VaultCase{"AnEntryThatOpens", std::nullopt, std::nullopt, {entry(KEY, "a")}, true},
        VaultCase{"OnlyTheLastEntryOpens",
                  recovery("YQ=="),
                  recovery("Yg=="),
                  {entry(OTHER_KEY, "a"), SealedEntry{"b", Sealed{"%%", "%%"}}, entry(KEY, "c")},
                  true},
        VaultCase{"EntriesOfAnotherKey",
                  std::nullopt,
                  std::nullopt,
                  {entry(OTHER_KEY, "a"), entry(OTHER_KEY, "b")},
                  false},
        // Moved under another id, an entry no longer opens: it cannot vouch for the key.
        VaultCase{"EntryUnderAnotherId",
                  std::nullopt,
                  std::nullopt,
                  {SealedEntry{"moved", entry(KEY, "a").sealed}},
                  false}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
