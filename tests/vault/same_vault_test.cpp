#include "vault/same_vault.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/case_name.hpp"
#include "support/fixed_bytes.hpp"
#include "support/sample_vault.hpp"

namespace velkaron {
namespace {

using testing_support::counting_vault_key;

const VaultKey KEY = counting_vault_key(0x01);
const VaultKey OTHER_KEY = counting_vault_key(0x03);

using testing_support::sample_recovery;
using testing_support::sealed_entry;

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
    held.entries = {sealed_entry(KEY, "held")};
    VaultFile found;
    found.recovery = GetParam().found_recovery;
    found.entries = GetParam().found_entries;
    EXPECT_EQ(same_vault(held, found, KEY), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SameVault,
    testing::Values(
        VaultCase{
            "IdenticalRecoveryRecord", sample_recovery("YQ=="), sample_recovery("YQ=="), {}, true},
        VaultCase{
            "OtherRecoveryRecord", sample_recovery("YQ=="), sample_recovery("Yg=="), {}, false},
        // The held copy's own entries prove nothing: only what the found file carries counts.
        VaultCase{"NeitherRecordNorEntries", std::nullopt, std::nullopt, {}, false},
        VaultCase{"AnEntryThatOpens", std::nullopt, std::nullopt, {sealed_entry(KEY, "a")}, true},
        VaultCase{"OnlyTheLastEntryOpens",
                  sample_recovery("YQ=="),
                  sample_recovery("Yg=="),
                  {sealed_entry(OTHER_KEY, "a"), SealedEntry{"b", Sealed{"%%", "%%"}},
                   sealed_entry(KEY, "c")},
                  true},
        VaultCase{"EntriesOfAnotherKey",
                  std::nullopt,
                  std::nullopt,
                  {sealed_entry(OTHER_KEY, "a"), sealed_entry(OTHER_KEY, "b")},
                  false},
        // Moved under another id, an entry no longer opens: it cannot vouch for the key.
        VaultCase{"EntryUnderAnotherId",
                  std::nullopt,
                  std::nullopt,
                  {SealedEntry{"moved", sealed_entry(KEY, "a").sealed}},
                  false}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
