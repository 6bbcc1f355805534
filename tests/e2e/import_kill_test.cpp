// The host killed with SIGKILL at random moments of a 10,000-row import: after every kill the
// vault file reads, unlocks and holds either the logins it held before or all of them and
// every imported one, never some of the rows.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::Logins;
using testing_support::TempDir;

constexpr int KILLS = 50;          // kills that land before the import is answered
constexpr int MAX_ATTEMPTS = 300;  // a kill can come too late; give up after this many
constexpr int ROWS = 10'000;

std::string import_line() {
    std::string file = "name,url,username,password,note\n";
    for (int i = 0; i < ROWS; ++i) {
        const std::string n = std::to_string(i);
        file += "Site " + n + ",https://site" + n + ".example/login,user" + n + ",pw-" + n + ",\n";
    }
    return nlohmann::json{{"id", 2}, {"op", "import"}, {"data", base64_encode(bytes_of(file))}}
               .dump() +
           "\n";
}

std::vector<std::string> passwords(const Logins& logins) {
    std::vector<std::string> all;
    for (const auto& login : logins) all.push_back(login.password);
    std::sort(all.begin(), all.end());
    return all;
}

// Started and unlocked; the import is sent after the unlock is answered.
std::unique_ptr<HostProcess> unlocked_host(const std::string& path) {
    auto host = std::make_unique<HostProcess>(std::vector<std::string>{path});
    const std::string unlock =
        R"({"id":1,"op":"unlock","password":")" + std::string(testing_support::PASSWORD) + R"("})";
    EXPECT_TRUE(host->request(unlock).starts_with(R"({"id":1,"ok":true)"));
    return host;
}

TEST(ImportCrashSafety, AllOrNothingUnderSigkill) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    const std::string before_path = dir.file("before.json");
    testing_support::create_small_vault(path);
    {
        auto host = unlocked_host(path);
        ASSERT_TRUE(host->request(R"({"id":2,"op":"put","host":"kept.example","password":"k"})")
                        .starts_with(R"({"id":2,"ok":true)"));
        ASSERT_EQ(host->wait(), 0);
    }
    std::filesystem::copy_file(path, before_path);
    const auto before = testing_support::open_vault_file(path);
    ASSERT_TRUE(before.has_value()) << before.error();
    const std::string request = import_line();

    // One import to its end gives the window in which kills land.
    std::chrono::microseconds window{};
    Logins after;
    {
        auto host = unlocked_host(path);
        const auto start = std::chrono::steady_clock::now();
        host->send_raw(request);
        const auto answer = host->receive();
        window = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        ASSERT_TRUE(answer && answer->starts_with(R"({"id":2,"ok":true,"data":{"added":10000,)"))
            << answer.value_or("");
        ASSERT_EQ(host->wait(), 0);
        after = testing_support::open_vault_file(path).value();
        ASSERT_EQ(after.size(), before->size() + ROWS);
    }

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int kills = 0;
    int imported = 0;
    int attempts = 0;
    for (; kills < KILLS && attempts < MAX_ATTEMPTS; ++attempts) {
        std::filesystem::copy_file(before_path, path,
                                   std::filesystem::copy_options::overwrite_existing);
        auto host = unlocked_host(path);
        host->send_raw(request);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (window.count() + 1)));
        host->kill_now();
        const bool answered = host->receive().has_value();
        EXPECT_EQ(host->wait(), 128 + SIGKILL);

        const auto on_disk = testing_support::open_vault_file(path);
        ASSERT_TRUE(on_disk.has_value()) << on_disk.error();
        if (on_disk->size() == before->size()) {
            ASSERT_EQ(*on_disk, *before);
            ASSERT_FALSE(answered) << "an answered import is on disk";
        } else {
            ASSERT_EQ(passwords(*on_disk), passwords(after)) << "part of the import on disk";
            ++imported;
        }
        if (!answered) ++kills;
    }
    EXPECT_EQ(kills, KILLS) << "in " << attempts << " attempts";
    std::cout << "[          ] " << kills << " kills during a " << ROWS << "-row import ("
              << attempts << " attempts, window " << window.count() << " us); the import was on "
              << "disk after " << imported << " of them\n";
}

}  // namespace
}  // namespace velkaron
