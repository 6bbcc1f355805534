// A vault made outside the binary opens in it, and a vault the binary made opens outside it:
// only published inputs enter the derivation and the cipher.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/fixed_bytes.hpp"
#include "support/hex.hpp"
#include "support/host_process.hpp"
#include "support/known_answers.hpp"
#include "support/libsodium_base64.hpp"
#include "support/outside_crypto.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::argon2id_outside;
using testing_support::Bytes;
using testing_support::counting_bytes;
using testing_support::from_hex;
using testing_support::known_answer;
using testing_support::libsodium_base64;
using testing_support::libsodium_unbase64;
using testing_support::open_outside;
using testing_support::read_file;
using testing_support::run_host;
using testing_support::seal_outside;
using testing_support::TempDir;
using testing_support::write_file;
using Json = nlohmann::ordered_json;

// What the vault key is sealed under, in both records.
constexpr std::string_view VAULT_KEY_AD = "vault-key";

TEST(KeysInterop, VaultAssembledFromFixedPartsUnlocks) {
    const Bytes vault_key = counting_bytes(0x00, 32);
    // Password record: two lanes and the 8-byte salt "somesalt"; the key is the published
    // Argon2id vector in tests/vectors/ for "password" at t=2, m=256 KiB, p=2.
    const auto published = known_answer("argon2id", "Memory256Passes2Lanes2");
    const Json password_kdf = {
        {"algorithm", "argon2id"},
        {"memory_kib", published["memory_kib"].get<std::uint32_t>()},
        {"iterations", published["iterations"].get<std::uint32_t>()},
        {"parallelism", published["parallelism"].get<std::uint32_t>()},
        {"salt", libsodium_base64(from_hex(published["salt"].get<std::string>()))}};
    const Bytes password_key = from_hex(published["expect"]["key"].get<std::string>());
    const Bytes password_nonce = counting_bytes(0x40, 24);
    // Recovery record: one lane and a 16-byte salt, which the binary derives with libsodium;
    // `algorithm` is never read.
    const Bytes recovery_salt = counting_bytes(0x01, 16);
    const Json recovery_kdf = {{"algorithm", ""},
                               {"memory_kib", 64},
                               {"iterations", 2},
                               {"parallelism", 1},
                               {"salt", libsodium_base64(recovery_salt)}};
    const Bytes recovery_key =
        argon2id_outside("ABCDEFGHJKLMNPQRSTUV", recovery_salt, recovery_kdf);
    const Bytes recovery_nonce = counting_bytes(0x80, 24);

    const Json document = {
        {"version", 1},
        {"kdf", password_kdf},
        {"wrapped_key",
         {{"nonce", libsodium_base64(password_nonce)},
          {"ct",
           libsodium_base64(seal_outside(password_key, password_nonce, vault_key, VAULT_KEY_AD))}}},
        {"recovery",
         {{"kdf", recovery_kdf},
          {"nonce", libsodium_base64(recovery_nonce)},
          {"ct",
           libsodium_base64(seal_outside(recovery_key, recovery_nonce, vault_key, VAULT_KEY_AD))}}},
        {"entries", Json::array({{{"id", "e1"}, {"nonce", "AAAA"}, {"ct", "AAAA"}}})},
    };
    TempDir dir;
    write_file(dir.file("tresor.json"), document.dump());

    const auto result = run_host({dir.file("tresor.json")},
                                 "{\"id\":1,\"op\":\"unlock\",\"password\":\"passwort\"}\n"
                                 "{\"id\":2,\"op\":\"unlock\",\"password\":\"password\"}\n"
                                 "{\"id\":3,\"op\":\"lock\"}\n"
                                 "{\"id\":4,\"op\":\"unlock-recovery\",\"code\":\"abcd efgh "
                                 "jklm npqr stuv\"}\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "{\"id\":1,\"ok\":false,\"error\":\"Falsches Master-Passwort\"}\n"
              "{\"id\":2,\"ok\":true,\"data\":{\"entries\":1,\"unlocked\":true}}\n"
              "{\"id\":3,\"ok\":true,\"data\":{\"unlocked\":false}}\n"
              "{\"id\":4,\"ok\":true,\"data\":{\"unlocked\":true}}\n");
}

TEST(KeysInterop, VaultWrittenByTheBinaryOpensFromItsParts) {
    TempDir dir;
    const auto result =
        run_host({dir.file("tresor.json")}, R"({"id":1,"op":"create","password":"Kennwort 123"})"
                                            "\n");
    ASSERT_EQ(result.status, 0);
    const auto response = Json::parse(result.out);
    std::string code = response["data"]["recoveryCode"].get<std::string>();
    std::erase(code, '-');

    const auto vault = Json::parse(read_file(dir.file("tresor.json")));
    const auto& kdf = vault["kdf"];
    const auto by_password = open_outside(
        argon2id_outside("Kennwort 123", libsodium_unbase64(kdf["salt"].get<std::string>()), kdf),
        libsodium_unbase64(vault["wrapped_key"]["nonce"].get<std::string>()),
        libsodium_unbase64(vault["wrapped_key"]["ct"].get<std::string>()), VAULT_KEY_AD);
    const auto& recovery = vault["recovery"];
    const auto by_code = open_outside(
        argon2id_outside(code, libsodium_unbase64(recovery["kdf"]["salt"].get<std::string>()),
                         recovery["kdf"]),
        libsodium_unbase64(recovery["nonce"].get<std::string>()),
        libsodium_unbase64(recovery["ct"].get<std::string>()), VAULT_KEY_AD);
    ASSERT_TRUE(by_password.has_value());
    ASSERT_TRUE(by_code.has_value());
    EXPECT_EQ(by_password->size(), 32u);
    EXPECT_EQ(*by_password, *by_code);
}

}  // namespace
}  // namespace velkaron
