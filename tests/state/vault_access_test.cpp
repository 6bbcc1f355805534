#include "state/vault_access.hpp"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/case_name.hpp"
#include "support/sample_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::write_file;

constexpr std::array<unsigned char, KEY_LEN> KEY_BYTES{5, 4, 3, 2, 1};
constexpr std::array<unsigned char, KEY_LEN> OTHER_KEY_BYTES{1, 2, 3, 4, 5};

SealedEntry entry(const std::array<unsigned char, KEY_LEN>& key, const std::string& id) {
    return testing_support::sealed_entry(VaultKey(key), id);
}

VaultFile vault_with(const char* recovery_ct, std::vector<SealedEntry> entries) {
    VaultFile vault = testing_support::sample_vault(std::move(entries));
    vault.recovery = testing_support::sample_recovery(recovery_ct);
    return vault;
}

const std::string READ = serialize_vault(vault_with("YQ==", {entry(KEY_BYTES, "e1")}));
const std::string SAME_VAULT_CHANGED =
    serialize_vault(vault_with("YQ==", {entry(KEY_BYTES, "e1"), entry(KEY_BYTES, "theirs")}));
const std::string ANOTHER_VAULT =
    serialize_vault(vault_with("Yg==", {entry(OTHER_KEY_BYTES, "other")}));

using Helper = std::function<Result<VaultFile*>(HostState&)>;

struct Scene {
    const char* name;
    std::optional<std::string> file;  // what another program leaves; nullopt removes it
    std::vector<std::string> ids;     // of the vault in memory afterwards
    bool key_kept;
};

class FollowFile : public testing::TestWithParam<Scene> {};

// An unlocked host read READ and holds a change whose save failed ("unsaved"); then another
// program renames its file over the vault path. Every helper that hands out the vault follows.
TEST_P(FollowFile, BeforeTheVaultIsHandedOut) {
    const std::vector<std::pair<const char*, Helper>> helpers{
        {"loaded_vault", loaded_vault},
        {"unlocked_vault", unlocked_vault},
        {"loaded_or_read_vault", loaded_or_read_vault}};
    for (const auto& [name, helper] : helpers) {
        SCOPED_TRACE(name);
        TempDir dir;
        HostState state(dir.file("tresor.json"));
        write_file(state.path(), READ);
        ASSERT_TRUE(loaded_or_read_vault(state).has_value());
        ASSERT_TRUE(state.unlock(VaultKey(KEY_BYTES)).has_value());
        state.vault()->entries.push_back(SealedEntry{"unsaved", Sealed{"bg==", "Yw=="}});

        if (GetParam().file) {
            write_file(dir.file("elsewhere"), *GetParam().file);
            fs::rename(dir.file("elsewhere"), state.path());
        } else {
            fs::remove(state.path());
        }
        const auto handed = helper(state);
        if (name == std::string("unlocked_vault") && !GetParam().key_kept) {
            ASSERT_FALSE(handed.has_value());
            EXPECT_EQ(handed.error(), "Tresor ist gesperrt");
        } else {
            ASSERT_TRUE(handed.has_value()) << handed.error();
            EXPECT_EQ(*handed, state.vault());
        }
        std::vector<std::string> ids;
        for (const SealedEntry& stored : state.vault()->entries) ids.push_back(stored.id);
        EXPECT_EQ(ids, GetParam().ids);
        EXPECT_EQ(state.unlocked(), GetParam().key_kept);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, FollowFile,
    testing::Values(Scene{"Untouched", READ, {"e1", "unsaved"}, true},
                    Scene{"SameVaultChanged", SAME_VAULT_CHANGED, {"e1", "theirs"}, true},
                    Scene{"SameBytesAgain", READ, {"e1", "unsaved"}, true},
                    Scene{"AnotherVault", ANOTHER_VAULT, {"other"}, false},
                    Scene{
                        "HalfWritten", SAME_VAULT_CHANGED.substr(0, 100), {"e1", "unsaved"}, true},
                    Scene{"Removed", std::nullopt, {"e1", "unsaved"}, true}),
    testing_support::CaseName{});

// Without a key there is nothing to compare: the file is taken as it is.
TEST(FollowFile, ALockedHostTakesAnotherVault) {
    TempDir dir;
    HostState state(dir.file("tresor.json"));
    write_file(state.path(), READ);
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    write_file(dir.file("elsewhere"), ANOTHER_VAULT);
    fs::rename(dir.file("elsewhere"), state.path());
    ASSERT_TRUE(loaded_vault(state).has_value());
    EXPECT_EQ(serialize_vault(*state.vault()), ANOTHER_VAULT);
}

// The key is asked for once per entry opened: it never costs a look at the file.
TEST(FollowFile, TheKeyAloneDoesNotLookAtTheFile) {
    TempDir dir;
    HostState state(dir.file("tresor.json"));
    write_file(state.path(), READ);
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    ASSERT_TRUE(state.unlock(VaultKey(KEY_BYTES)).has_value());
    write_file(dir.file("elsewhere"), ANOTHER_VAULT);
    fs::rename(dir.file("elsewhere"), state.path());
    EXPECT_TRUE(vault_key(state).has_value());
    EXPECT_EQ(serialize_vault(*state.vault()), READ);
}

// --- the rules HostState keeps itself -------------------------------------------------------

TEST(HostStateRules, AKeyNeedsALoadedVault) {
    HostState state("unused");
    EXPECT_EQ(state.unlock(VaultKey(KEY_BYTES)).error(), "kein Tresor geladen");
    EXPECT_FALSE(state.unlocked());
    EXPECT_EQ(state.key(), nullptr);
}

// Even a copy of the very vault the key opens: what was not read from the file keeps no key.
TEST(HostStateRules, AVaultNotSavedYetKeepsNoKey) {
    TempDir dir;
    HostState state(dir.file("tresor.json"));
    write_file(state.path(), READ);
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    ASSERT_TRUE(state.unlock(VaultKey(KEY_BYTES)).has_value());
    state.adopt(VaultFile(*state.vault()), std::nullopt);
    EXPECT_FALSE(state.unlocked());
    ASSERT_NE(state.vault(), nullptr);
    EXPECT_EQ(serialize_vault(*state.vault()), READ);
}

// create looks at the path first; whatever appears there after that look is refused by the
// save, even a file of the same vault, and the new vault stays in memory, locked.
TEST(HostStateRules, ANewVaultRefusesAFileThatAppeared) {
    const std::vector<std::pair<std::string, std::string>> appeared{
        {READ, "anderer Tresor"}, {"kaputt", "Tresor beschädigt: "}};
    for (const auto& [file, detail] : appeared) {
        SCOPED_TRACE(file);
        TempDir dir;
        HostState state(dir.file("tresor.json"));
        write_file(state.path(), file);
        const Status saved =
            state.save_new_vault(vault_with("YQ==", {entry(KEY_BYTES, "e1")}), VaultKey(KEY_BYTES));
        ASSERT_FALSE(saved.has_value());
        EXPECT_TRUE(saved.error().starts_with(
            "Tresordatei inzwischen geändert, nichts gespeichert: " + detail))
            << saved.error();
        EXPECT_EQ(testing_support::read_file(state.path()), file);
        EXPECT_FALSE(state.unlocked());
        EXPECT_NE(state.vault(), nullptr);
    }
}

}  // namespace
}  // namespace velkaron
