// Creating, locking, unlocking, changing and resetting the password through the real binary, with
// its fixed Argon2 costs, across restarts.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <regex>

#include "support/host_process.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::read_file;
using testing_support::TempDir;

constexpr const char* PASSWORD = "Korrekt Pferd Batterie";
constexpr const char* NEW_PASSWORD = "Heftklammer 2024";

std::string ok(int id, const std::string& data) {
    return R"({"id":)" + std::to_string(id) + R"(,"ok":true,"data":)" + data + "}";
}
std::string error(int id, const std::string& message) {
    return R"({"id":)" + std::to_string(id) + R"(,"ok":false,"error":")" + message + "\"}";
}
std::string status_data(bool exists, bool unlocked) {
    return std::string(R"({"entries":0,"exists":)") + (exists ? "true" : "false") +
           ",\"unlocked\":" + (unlocked ? "true" : "false") + "}";
}

// The whole file as the writer lays it out, for a vault made with the fixed costs.
const std::regex& created_file_layout() {
    static const std::string kdf =
        R"(\{"algorithm":"argon2id","memory_kib":65536,"iterations":3,"parallelism":1,)"
        R"("salt":"[A-Za-z0-9+/]{22}=="\})";
    static const std::string sealed_key = R"("nonce":"[A-Za-z0-9+/]{32}","ct":"[A-Za-z0-9+/]{64}")";
    static const std::regex layout(R"(\{"version":1,"kdf":)" + kdf + R"(,"wrapped_key":\{)" +
                                   sealed_key + R"(\},"recovery":\{"kdf":)" + kdf + "," +
                                   sealed_key + R"(\},"entries":\[\]\})");
    return layout;
}

TEST(KeysSession, CreateUnlockRecoverChangeAndResetPasswordAcrossRestarts) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    std::string code;
    {
        HostProcess host({path});
        EXPECT_EQ(host.request(R"({"id":1,"op":"create","password":"1234567"})"),
                  error(1, "Master-Passwort braucht mindestens 8 Zeichen"));
        const std::string created =
            host.request(std::string(R"({"id":2,"op":"create","password":")") + PASSWORD + "\"}");
        const auto response = nlohmann::json::parse(created);
        ASSERT_TRUE(response["ok"].get<bool>()) << created;
        code = response["data"]["recoveryCode"].get<std::string>();
        EXPECT_TRUE(std::regex_match(code, std::regex("([A-HJ-NP-Z2-9]{4}-){4}[A-HJ-NP-Z2-9]{4}")))
            << code;
        EXPECT_EQ(host.request(R"({"id":3,"op":"create","password":"1234567"})"),
                  error(3, "Tresor existiert bereits"));
        EXPECT_EQ(host.request(R"({"id":4,"op":"status"})"), ok(4, status_data(true, true)));
        EXPECT_EQ(host.request(R"({"id":5,"op":"lock"})"), ok(5, R"({"unlocked":false})"));
        EXPECT_EQ(host.request(R"({"id":6,"op":"unlock","password":"abc"})"),
                  error(6, "Falsches Master-Passwort"));
        EXPECT_EQ(host.request(R"({"id":7,"op":"status"})"), ok(7, status_data(true, false)));
        EXPECT_EQ(
            host.request(std::string(R"({"id":8,"op":"unlock","password":")") + PASSWORD + "\"}"),
            ok(8, R"({"entries":0,"unlocked":true})"));
        EXPECT_EQ(host.request(R"({"id":9,"op":"unlock-recovery","code":"----"})"),
                  error(9, "Wiederherstellungscode stimmt nicht"));
        EXPECT_EQ(host.request(R"({"id":10,"op":"status"})"), ok(10, status_data(true, true)));
        EXPECT_EQ(host.wait(), 0);
    }
    const std::string first_file = read_file(path);
    EXPECT_TRUE(std::regex_match(first_file, created_file_layout())) << first_file;

    std::string typed = code;  // lower case, spaces for dashes
    std::transform(typed.begin(), typed.end(), typed.begin(),
                   [](char c) { return c == '-' ? ' ' : static_cast<char>(std::tolower(c)); });
    {
        HostProcess host({path});
        EXPECT_EQ(host.request(R"({"id":1,"op":"unlock-recovery","code":")" + typed + "\"}"),
                  ok(1, R"({"unlocked":true})"));
        EXPECT_EQ(host.request(std::string(R"({"id":2,"op":"change-password","password":"falsch",)"
                                           R"("new_password":")") +
                               NEW_PASSWORD + "\"}"),
                  error(2, "Falsches Master-Passwort"));
        EXPECT_EQ(host.request(R"({"id":3,"op":"status"})"), ok(3, status_data(true, true)));
        EXPECT_EQ(host.request(std::string(R"({"id":4,"op":"change-password","password":")") +
                               PASSWORD + R"(","new_password":")" + NEW_PASSWORD + "\"}"),
                  ok(4, R"({"changed":true})"));
        EXPECT_EQ(host.wait(), 0);
    }
    const auto before = nlohmann::json::parse(first_file);
    const auto after = nlohmann::json::parse(read_file(path));
    EXPECT_EQ(after["recovery"], before["recovery"]);
    EXPECT_NE(after["kdf"]["salt"], before["kdf"]["salt"]);
    EXPECT_NE(after["wrapped_key"], before["wrapped_key"]);

    std::string bare = code;
    std::erase(bare, '-');
    {
        HostProcess host({path});
        EXPECT_EQ(
            host.request(std::string(R"({"id":1,"op":"unlock","password":")") + PASSWORD + "\"}"),
            error(1, "Falsches Master-Passwort"));
        EXPECT_EQ(host.request(std::string(R"({"id":2,"op":"unlock","password":")") + NEW_PASSWORD +
                               "\"}"),
                  ok(2, R"({"entries":0,"unlocked":true})"));
        EXPECT_EQ(host.request(R"({"id":3,"op":"lock"})"), ok(3, R"({"unlocked":false})"));
        EXPECT_EQ(host.request(R"({"id":4,"op":"unlock-recovery","code":")" + bare + "\"}"),
                  ok(4, R"({"unlocked":true})"));
        EXPECT_EQ(host.wait(), 0);
    }

    // The forgotten password: the code sets a third one, leaves the vault unlocked and stays valid.
    constexpr const char* THIRD_PASSWORD = "Dritter Versuch 77";
    {
        HostProcess host({path});
        EXPECT_EQ(host.request(R"({"id":1,"op":"reset-password","code":"AAAA","new_password":")" +
                               std::string(THIRD_PASSWORD) + "\"}"),
                  error(1, "Wiederherstellungscode stimmt nicht"));
        EXPECT_EQ(host.request(R"({"id":2,"op":"reset-password","code":")" + typed +
                               R"(","new_password":")" + THIRD_PASSWORD + "\"}"),
                  ok(2, R"({"changed":true})"));
        EXPECT_EQ(host.request(R"({"id":3,"op":"status"})"), ok(3, status_data(true, true)));
        EXPECT_EQ(host.wait(), 0);
    }
    EXPECT_EQ(nlohmann::json::parse(read_file(path))["recovery"], before["recovery"]);
    {
        HostProcess host({path});
        EXPECT_EQ(host.request(std::string(R"({"id":1,"op":"unlock","password":")") + NEW_PASSWORD +
                               "\"}"),
                  error(1, "Falsches Master-Passwort"));
        EXPECT_EQ(host.request(std::string(R"({"id":2,"op":"unlock","password":")") +
                               THIRD_PASSWORD + "\"}"),
                  ok(2, R"({"entries":0,"unlocked":true})"));
        EXPECT_EQ(host.request(R"({"id":3,"op":"lock"})"), ok(3, R"({"unlocked":false})"));
        EXPECT_EQ(host.request(R"({"id":4,"op":"unlock-recovery","code":")" + code + "\"}"),
                  ok(4, R"({"unlocked":true})"));
        EXPECT_EQ(host.wait(), 0);
    }
}

}  // namespace
}  // namespace velkaron
