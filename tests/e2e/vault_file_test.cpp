// The vault file as the real binary reads and writes it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/case_name.hpp"
#include "support/host_process.hpp"
#include "support/temp_dir.hpp"
#include "support/vault_load_cases.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

constexpr const char* CREATE = R"({"id":1,"op":"create","password":"Korrekt-Pferd-7"})";
constexpr const char* UNLOCK = R"({"id":2,"op":"unlock","password":"Korrekt-Pferd-7"})";
constexpr const char* LOCK = R"({"id":3,"op":"lock"})";

std::string unlock_error(const std::string& message) {
    return R"({"id":2,"ok":false,"error":")" + message + R"("})";
}

// A vault this layer reads without complaint but whose salt no unlock can decode, so that
// unlocking loads it and then fails without deriving a key.
const std::string UNDECODABLE_SALT =
    R"({"version":1,"kdf":{"algorithm":"argon2id","memory_kib":8,"iterations":1,)"
    R"("parallelism":1,"salt":"!!"},"wrapped_key":{"nonce":"","ct":""},"recovery":null,)"
    R"("entries":[]})";

class UnlockLoad : public testing::TestWithParam<testing_support::LoadCase> {};

TEST_P(UnlockLoad, ReportsWhyTheFileCannotBeUsed) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    GetParam().prepare(path);
    HostProcess host({path});
    EXPECT_EQ(host.request(UNLOCK), unlock_error(GetParam().error));
    EXPECT_EQ(host.wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, UnlockLoad, testing::ValuesIn(testing_support::vault_load_faults()),
                         testing_support::CaseName{});

// A loaded vault follows its file, but not to a file that does not read: until then, and
// until lock drops the copy, the host answers from memory.
TEST(VaultFile, ADamagedFileIsNotTakenWhileAVaultIsLoaded) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    write_file(path, UNDECODABLE_SALT);
    HostProcess host({path});
    EXPECT_EQ(host.request(UNLOCK), unlock_error("Salt unlesbar"));
    write_file(path, "damaged");
    EXPECT_EQ(host.request(UNLOCK), unlock_error("Salt unlesbar"));
    EXPECT_EQ(host.request(LOCK), R"({"id":3,"ok":true,"data":{"unlocked":false}})");
    EXPECT_EQ(host.request(UNLOCK),
              unlock_error("Tresor beschädigt: syntax error while parsing value - invalid literal "
                           "at line 1 column 1"));
    EXPECT_EQ(host.wait(), 0);
}

// Two hosts on one vault path save in parallel, round after round; after every round the
// file must be a whole vault in writer form, private to its owner, holding both hosts' logins.
TEST(VaultFile, TwoHostsSavingInParallelAlwaysLeaveAWholeVault) {
    // Each save reads the other host's latest file; AddressSanitizer makes that slow.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int ROUNDS = 60;
#else
    constexpr int ROUNDS = 200;
#endif
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    HostProcess first({path});
    ASSERT_NE(first.request(CREATE).find(R"("ok":true)"), std::string::npos);
    HostProcess second({path});
    ASSERT_EQ(second.request(UNLOCK), R"({"id":2,"ok":true,"data":{"entries":0,"unlocked":true}})");

    for (int round = 0; round < ROUNDS; ++round) {
        const std::string n = std::to_string(round);
        first.send(R"({"id":4,"op":"put","host":"a)" + n + R"(.example","password":"p"})");
        second.send(R"({"id":4,"op":"put","host":"b)" + n + R"(.example","password":"p"})");
        const auto a = first.receive();
        const auto b = second.receive();
        ASSERT_TRUE(a && a->find(R"("ok":true)") != std::string::npos) << a.value_or("no answer");
        ASSERT_TRUE(b && b->find(R"("ok":true)") != std::string::npos) << b.value_or("no answer");

        const std::string text = read_file(path);
        const auto vault = parse_vault(text);
        ASSERT_TRUE(vault.has_value()) << "round " << round << ": " << vault.error();
        ASSERT_EQ(serialize_vault(*vault), text) << "round " << round;
        ASSERT_EQ(vault->entries.size(), static_cast<std::size_t>(2 * (round + 1)));
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(second.wait(), 0);
}

}  // namespace
}  // namespace velkaron
