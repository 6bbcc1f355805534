// Four host processes on one vault, each storing logins as fast as it can. Saves are
// serialised by the lock on the temporary file, so a reader never finds the vault file
// incomplete, and each save is made on the file as the others left it: after every round the
// file holds every login any host has stored.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::Login;
using testing_support::Logins;
using testing_support::read_file;
using testing_support::TempDir;

constexpr int HOSTS = 4;
// Every save reads and parses the file the other hosts have grown meanwhile; under
// AddressSanitizer that costs several times as much, so fewer rounds keep it to seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr int ROUNDS = 10;
#else
constexpr int ROUNDS = 30;
#endif
constexpr int PUTS_PER_ROUND = 10;  // sent at once to each host

std::string entry_id(int host, int put) {
    return "h" + std::to_string(host) + "-" + std::to_string(put);
}

std::string password(int host, int put) {
    return "pw-" + std::to_string(host) + "-" + std::to_string(put);
}

bool by_id(const Login& a, const Login& b) {
    return a.id < b.id;
}

// Every host's logins after `puts` puts each, in id order.
Logins logins_of_all(int puts) {
    Logins logins;
    for (int host = 0; host < HOSTS; ++host) {
        for (int put = 0; put < puts; ++put)
            logins.push_back({entry_id(host, put), password(host, put)});
    }
    std::sort(logins.begin(), logins.end(), by_id);
    return logins;
}

// Reads and parses the vault file until told to stop; counts the reads that fail.
class Reader {
  public:
    explicit Reader(std::string path)
        : path_(std::move(path)), thread_([this] {
              while (!stop_) {
                  if (!parse_vault(read_file(path_))) ++failed_;
                  ++reads_;
              }
          }) {}

    void stop() {
        stop_ = true;
        thread_.join();
    }
    [[nodiscard]] int reads() const { return reads_; }
    [[nodiscard]] int failed() const { return failed_; }

  private:
    std::string path_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> reads_ = 0;
    std::atomic<int> failed_ = 0;
    std::thread thread_;
};

TEST(ConcurrentHosts, NoReadEverFailsAndEachRoundEndsWithEveryHostsLogins) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    std::vector<std::unique_ptr<HostProcess>> hosts;
    for (int host = 0; host < HOSTS; ++host) {
        hosts.push_back(std::make_unique<HostProcess>(std::vector<std::string>{path}));
        ASSERT_EQ(hosts.back()->request(R"({"id":1,"op":"unlock","password":")" +
                                        std::string(testing_support::PASSWORD) + R"("})"),
                  R"({"id":1,"ok":true,"data":{"entries":0,"unlocked":true}})");
    }

    Reader reader(path);
    for (int round = 0; round < ROUNDS; ++round) {
        for (int host = 0; host < HOSTS; ++host) {
            std::string batch;
            for (int put = round * PUTS_PER_ROUND; put < (round + 1) * PUTS_PER_ROUND; ++put) {
                batch += R"({"id":)" + std::to_string(put) + R"(,"op":"put","host":"h",)" +
                         R"("password":")" + password(host, put) + R"(","entry_id":")" +
                         entry_id(host, put) + "\"}\n";
            }
            hosts[host]->send_raw(batch);
        }
        for (int host = 0; host < HOSTS; ++host) {
            for (int put = round * PUTS_PER_ROUND; put < (round + 1) * PUTS_PER_ROUND; ++put) {
                ASSERT_EQ(hosts[host]->receive(), R"({"id":)" + std::to_string(put) +
                                                      R"(,"ok":true,"data":{"id":")" +
                                                      entry_id(host, put) + R"("}})");
            }
        }
        auto on_disk = testing_support::open_vault_file(path);
        ASSERT_TRUE(on_disk.has_value()) << "round " << round << ": " << on_disk.error();
        std::sort(on_disk->begin(), on_disk->end(), by_id);
        ASSERT_EQ(*on_disk, logins_of_all((round + 1) * PUTS_PER_ROUND))
            << "round " << round << ": " << on_disk->size() << " logins";
    }
    reader.stop();
    EXPECT_EQ(reader.failed(), 0) << "of " << reader.reads() << " reads";
    for (auto& host : hosts) EXPECT_EQ(host->wait(), 0);
    std::cout << "[          ] " << HOSTS * ROUNDS * PUTS_PER_ROUND << " saves by " << HOSTS
              << " hosts; " << reader.reads() << " reads during them, " << reader.failed()
              << " failed\n";
}

}  // namespace
}  // namespace velkaron
