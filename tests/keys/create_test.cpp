#include "keys/create.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "crypto/bytes.hpp"
#include "keys/recovery_code.hpp"
#include "keys/unlock.hpp"
#include "keys/vault_key_wrap.hpp"
#include "support/keys_fixture.hpp"
#include "vault/storage.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using testing_support::KeysTest;
using testing_support::PASSWORD;
using testing_support::read_file;
using testing_support::SMALL_KDF;
using testing_support::write_file;

using CreateVault = KeysTest;

bool same_key(const VaultKey& a, const VaultKey& b) {
    return std::memcmp(a.data(), b.data(), KEY_LEN) == 0;
}

TEST_F(CreateVault, RefusesAnOccupiedPathBeforeLookingAtThePassword) {
    write_file(state.path(), "anything");
    fs::create_directory(dir.file("ordner"));
    for (const std::string& path : {state.path(), dir.file("ordner")}) {
        HostState occupied{path};
        for (const char* password : {PASSWORD, "kurz"}) {
            const auto code = create_vault(occupied, password);
            ASSERT_FALSE(code.has_value());
            EXPECT_EQ(code.error(), "Tresor existiert bereits");
            EXPECT_FALSE(occupied.vault() != nullptr);
        }
    }
    EXPECT_EQ(read_file(state.path()), "anything");
}

TEST_F(CreateVault, CountsPasswordCharactersNotBytes) {
    const std::pair<std::string, bool> cases[] = {
        {"1234567", false},
        {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
         "abcd",
         true},  // 8 characters, 12 bytes
        {"\xF0\x9F\x94\x91\xF0\x9F\x94\x91\xF0\x9F\x94\x91\xF0\x9F\x94\x91\xF0\x9F\x94\x91"
         "\xF0\x9F\x94\x91\xF0\x9F\x94\x91",
         false},  // 7 characters, 28 bytes
        {"12345678", true},
    };
    for (const auto& [password, accepted] : cases) {
        HostState fresh{dir.file("v" + std::to_string(password.size()) + ".json"), SMALL_KDF};
        const auto code = create_vault(fresh, password);
        EXPECT_EQ(code.has_value(), accepted) << password;
        if (!accepted) {
            EXPECT_EQ(code.error(), "Master-Passwort braucht mindestens 8 Zeichen");
            EXPECT_FALSE(fs::exists(fresh.path()));
        }
    }
}

TEST_F(CreateVault, SavesAndUnlocksTheNewVault) {
    const auto code = create_vault(state, PASSWORD);
    ASSERT_TRUE(code.has_value()) << code.error();
    ASSERT_TRUE(state.unlocked());
    ASSERT_TRUE(state.vault() != nullptr);
    EXPECT_EQ(file_vault(), *state.vault());

    const VaultFile& vault = *state.vault();
    EXPECT_EQ(vault.version, VAULT_VERSION);
    EXPECT_TRUE(vault.entries.empty());
    ASSERT_TRUE(vault.recovery.has_value());
    for (const KdfRecord* kdf : {&vault.kdf, &vault.recovery->kdf}) {
        EXPECT_EQ(kdf->algorithm, "argon2id");
        EXPECT_EQ((KdfParams{kdf->memory_kib, kdf->iterations, kdf->parallelism}), SMALL_KDF);
        EXPECT_EQ(kdf->salt.size(), 24u);
        EXPECT_TRUE(kdf->salt.ends_with("=="));
    }
    EXPECT_NE(vault.kdf.salt, vault.recovery->kdf.salt);

    // Both records give back the key the state holds.
    const auto by_password =
        unwrap_vault_key(vault.kdf, vault.wrapped_key, bytes_of(PASSWORD), "falsch");
    const auto by_code = unwrap_vault_key(vault.recovery->kdf, vault.recovery->sealed,
                                          normalize_recovery_code(*code).span(), "falsch");
    ASSERT_TRUE(by_password && by_code);
    EXPECT_TRUE(same_key(*by_password, *state.key()));
    EXPECT_TRUE(same_key(*by_code, *state.key()));
}

TEST_F(CreateVault, FailedSaveKeepsTheNewVaultLockedAndDropsTheOldKey) {
    ASSERT_TRUE(create_vault(state, PASSWORD).has_value());
    const VaultFile old_vault = *state.vault();
    // The file of the unlocked vault disappears, and saving will hit a directory.
    fs::remove(state.path());
    fs::create_directory(temporary_path(state.path()));

    const auto code = create_vault(state, "ein-anderes-passwort");
    ASSERT_FALSE(code.has_value());
    EXPECT_TRUE(code.error().starts_with("Schreiben fehlgeschlagen: ")) << code.error();
    EXPECT_FALSE(state.unlocked());
    ASSERT_TRUE(state.vault() != nullptr);
    EXPECT_NE(state.vault()->kdf, old_vault.kdf);

    // The new vault opens from memory, though it never reached the disk.
    EXPECT_EQ(unlock_vault(state, PASSWORD).error(), "Falsches Master-Passwort");
    EXPECT_TRUE(unlock_vault(state, "ein-anderes-passwort").has_value());
    EXPECT_FALSE(fs::exists(state.path()));
}

}  // namespace
}  // namespace velkaron
