#include "keys/unlock.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/derive_key.hpp"
#include "crypto/seal.hpp"
#include "keys/create.hpp"
#include "state/vault_access.hpp"
#include "support/keys_fixture.hpp"
#include "vault/storage.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using testing_support::KeysTest;
using testing_support::PASSWORD;
using testing_support::read_file;
using testing_support::SMALL_KDF;

constexpr const char* NEW_PASSWORD = "ein-neues-passwort";

// A created vault, locked again: nothing in memory, the file on disk.
class Unlock : public KeysTest {
  protected:
    void SetUp() override {
        auto created = create_vault(state, PASSWORD);
        ASSERT_TRUE(created.has_value()) << created.error();
        code = *created;
        vault_key = state.key()->copy();
        state.lock();
    }

    [[nodiscard]] bool holds_the_vault_key() const {
        return state.key() && std::memcmp(state.key()->data(), vault_key.data(), KEY_LEN) == 0;
    }

    std::string code;
    Key32 vault_key;
};

TEST_F(Unlock, RightPasswordMakesTheKeyCurrent) {
    ASSERT_TRUE(unlock_vault(state, PASSWORD).has_value());
    EXPECT_TRUE(holds_the_vault_key());
}

TEST_F(Unlock, WrongPasswordLeavesTheVaultLoadedAndLocked) {
    for (const char* wrong : {"falsches-passwort", "abc"}) {  // no length rule here
        EXPECT_EQ(unlock_vault(state, wrong).error(), "Falsches Master-Passwort");
        EXPECT_TRUE(state.vault() != nullptr);
        EXPECT_FALSE(state.unlocked());
    }
    // The loaded vault is used as it is; the file is not read again.
    fs::remove(state.path());
    EXPECT_TRUE(unlock_vault(state, PASSWORD).has_value());
}

TEST_F(Unlock, WrongSecretsNeverLockAnUnlockedVault) {
    ASSERT_TRUE(unlock_vault(state, PASSWORD).has_value());
    EXPECT_EQ(unlock_vault(state, "falsches-passwort").error(), "Falsches Master-Passwort");
    EXPECT_TRUE(holds_the_vault_key());
    EXPECT_EQ(unlock_with_recovery(state, "AAAA-AAAA-AAAA-AAAA-AAAA").error(),
              "Wiederherstellungscode stimmt nicht");
    EXPECT_TRUE(holds_the_vault_key());
    EXPECT_EQ(change_password(state, "falsches-passwort", NEW_PASSWORD).error(),
              "Falsches Master-Passwort");
    EXPECT_TRUE(holds_the_vault_key());
}

TEST_F(Unlock, MissingFileIsALoadFailure) {
    fs::remove(state.path());
    EXPECT_EQ(unlock_vault(state, PASSWORD).error(),
              "Tresor nicht lesbar: No such file or directory (os error 2)");
    EXPECT_EQ(unlock_with_recovery(state, code).error(),
              "Tresor nicht lesbar: No such file or directory (os error 2)");
    EXPECT_FALSE(state.vault() != nullptr);
}

TEST_F(Unlock, RecoveryCodeIsAcceptedAsTyped) {
    std::string lower = code;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string spaced = code;
    std::replace(spaced.begin(), spaced.end(), '-', ' ');
    std::string bare = code;
    std::erase(bare, '-');
    for (const std::string& typed : {code, lower, spaced, bare}) {
        state.lock();
        EXPECT_TRUE(unlock_with_recovery(state, typed).has_value()) << typed;
        EXPECT_TRUE(holds_the_vault_key()) << typed;
    }
}

TEST_F(Unlock, WrongRecoveryCodesAreRefused) {
    for (const char* wrong : {"AAAA-AAAA-AAAA-AAAA-AAAA", "----", ""}) {
        EXPECT_EQ(unlock_with_recovery(state, wrong).error(),
                  "Wiederherstellungscode stimmt nicht");
        EXPECT_FALSE(state.unlocked());
    }
}

// --- records that are damaged or unusual, changed in memory after loading -----------------

Sealed sealed_under_password(const KdfRecord& kdf, std::size_t plaintext_size) {
    const auto salt = base64_decode(kdf.salt);
    const auto key =
        derive_key(bytes_of(PASSWORD), *salt, {kdf.memory_kib, kdf.iterations, kdf.parallelism});
    return *seal(*key, SecretBytes(plaintext_size).span(), VAULT_KEY_AD);
}

struct RecordCase {
    const char* what;
    std::function<void(VaultFile&)> change;
    bool by_code;
    const char* outcome;  // nullptr: unlocks
};

class DamagedRecord : public Unlock, public testing::WithParamInterface<RecordCase> {};

TEST_P(DamagedRecord, GivesItsMessage) {
    // Loaded, so that the file counts as read: the vault in memory is used as it is.
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    GetParam().change(*state.vault());
    const auto done =
        GetParam().by_code ? unlock_with_recovery(state, code) : unlock_vault(state, PASSWORD);
    if (GetParam().outcome == nullptr) {
        EXPECT_TRUE(done.has_value()) << done.error();
    } else {
        ASSERT_FALSE(done.has_value());
        EXPECT_EQ(done.error(), GetParam().outcome);
        EXPECT_FALSE(state.unlocked());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedRecord,
    testing::Values(
        RecordCase{"other algorithm", [](VaultFile& v) { v.kdf.algorithm = ""; }, false, nullptr},
        RecordCase{"salt not Base64", [](VaultFile& v) { v.kdf.salt = "c2Fs dA=="; }, false,
                   "Salt unlesbar"},
        RecordCase{"7-byte salt", [](VaultFile& v) { v.kdf.salt = "c2FsdHNhbA=="; }, false,
                   "Schlüsselableitung fehlgeschlagen: salt is too short"},
        RecordCase{"no passes", [](VaultFile& v) { v.kdf.iterations = 0; }, false,
                   "ungültige KDF-Parameter: time cost is too small"},
        RecordCase{"other costs", [](VaultFile& v) { v.kdf.iterations = 2; }, false,
                   "Falsches Master-Passwort"},
        RecordCase{"nonce not Base64", [](VaultFile& v) { v.wrapped_key.nonce = "%%%%"; }, false,
                   "Falsches Master-Passwort"},
        RecordCase{"short nonce", [](VaultFile& v) { v.wrapped_key.nonce.resize(16); }, false,
                   "Falsches Master-Passwort"},
        RecordCase{"31-byte key",
                   [](VaultFile& v) { v.wrapped_key = sealed_under_password(v.kdf, 31); }, false,
                   "Tresorschlüssel hat die falsche Länge"},
        RecordCase{"no recovery", [](VaultFile& v) { v.recovery.reset(); }, true,
                   "kein Wiederherstellungscode hinterlegt"},
        RecordCase{"recovery salt not Base64", [](VaultFile& v) { v.recovery->kdf.salt = "-_-_"; },
                   true, "Salt unlesbar"},
        RecordCase{"recovery sealed under the password",
                   [](VaultFile& v) { v.recovery->sealed = v.wrapped_key; }, true,
                   "Wiederherstellungscode stimmt nicht"},
        RecordCase{"recovery two lanes", [](VaultFile& v) { v.recovery->kdf.parallelism = 2; },
                   true, "ungültige KDF-Parameter: memory cost is too small"},
        RecordCase{"recovery more memory", [](VaultFile& v) { v.recovery->kdf.memory_kib = 16; },
                   true, "Wiederherstellungscode stimmt nicht"}),
    [](const testing::TestParamInfo<RecordCase>& param_info) {
        std::string name = param_info.param.what;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

// --- change_password and reset_password: the same re-wrap, proven by password or by code ---

struct Rewrap {
    const char* name;
    Status (*run)(HostState&, std::string_view secret, std::string_view new_password);
    bool by_code;
    const char* wrong_secret_message;
};

class Rewrapping : public Unlock, public testing::WithParamInterface<Rewrap> {
  protected:
    Status rewrap(std::string_view new_password) {
        return GetParam().run(state, GetParam().by_code ? std::string_view(code) : PASSWORD,
                              new_password);
    }
};

TEST_P(Rewrapping, ChecksTheNewPasswordLengthFirst) {
    EXPECT_EQ(GetParam().run(state, "falsch", "1234567").error(),
              "Master-Passwort braucht mindestens 8 Zeichen");
    EXPECT_FALSE(state.vault() != nullptr);  // the secret was not even tried
}

TEST_P(Rewrapping, WrongSecretLeavesTheVaultLoadedOrUnlockedAsItWas) {
    EXPECT_EQ(GetParam().run(state, "falsch", NEW_PASSWORD).error(),
              GetParam().wrong_secret_message);
    EXPECT_TRUE(state.vault() != nullptr);
    EXPECT_FALSE(state.unlocked());
    ASSERT_TRUE(unlock_vault(state, PASSWORD).has_value());
    EXPECT_EQ(GetParam().run(state, "AAAA-AAAA-AAAA-AAAA-AAAA", NEW_PASSWORD).error(),
              GetParam().wrong_secret_message);
    EXPECT_TRUE(holds_the_vault_key());
}

TEST_P(Rewrapping, SealsTheSameKeyUnderTheNewPasswordOnly) {
    const VaultFile before = file_vault();
    state = HostState(state.path(), {16, 2, 1});  // moves the record to the current costs
    ASSERT_TRUE(rewrap(NEW_PASSWORD).has_value());
    EXPECT_TRUE(holds_the_vault_key());

    const VaultFile after = file_vault();
    EXPECT_EQ(after.kdf.memory_kib, 16u);
    EXPECT_EQ(after.kdf.iterations, 2u);
    EXPECT_NE(after.kdf.salt, before.kdf.salt);
    EXPECT_NE(after.wrapped_key.nonce, before.wrapped_key.nonce);
    EXPECT_EQ(after.recovery, before.recovery);
    EXPECT_EQ(after.entries, before.entries);

    state.lock();
    EXPECT_EQ(unlock_vault(state, PASSWORD).error(), "Falsches Master-Passwort");
    EXPECT_TRUE(unlock_vault(state, NEW_PASSWORD).has_value());
    EXPECT_TRUE(holds_the_vault_key());
    state.lock();
    EXPECT_TRUE(unlock_with_recovery(state, code).has_value());
    EXPECT_TRUE(holds_the_vault_key());
}

TEST_P(Rewrapping, FailedSaveStillUnlocks) {
    fs::create_directory(temporary_path(state.path()));
    const auto changed = rewrap(NEW_PASSWORD);
    ASSERT_FALSE(changed.has_value());
    EXPECT_TRUE(changed.error().starts_with("Schreiben fehlgeschlagen: ")) << changed.error();
    EXPECT_TRUE(holds_the_vault_key());

    // Memory holds the new password's records, the file the old ones.
    EXPECT_EQ(unlock_vault(state, PASSWORD).error(), "Falsches Master-Passwort");
    EXPECT_TRUE(unlock_vault(state, NEW_PASSWORD).has_value());
    state.lock();
    EXPECT_TRUE(unlock_vault(state, PASSWORD).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Rewrapping,
    testing::Values(Rewrap{"change_password", change_password, false, "Falsches Master-Passwort"},
                    Rewrap{"reset_password", reset_password, true,
                           "Wiederherstellungscode stimmt nicht"}),
    [](const testing::TestParamInfo<Rewrap>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace velkaron
