// The host killed with SIGKILL at random moments while it stores and deletes logins: after
// every kill the vault file reads, unlocks and holds every change the client saw answered;
// of the change in flight it holds all or nothing.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::Login;
using testing_support::Logins;
using testing_support::TempDir;

constexpr int KILLS = 100;         // kills that land while changes are still unanswered
constexpr int MAX_ATTEMPTS = 400;  // a kill can come too late; give up after this many
constexpr int STREAM_LENGTH = 24;  // requests sent at once after each unlock
constexpr unsigned ID_POOL = 12;   // entry ids the stream puts and deletes

// One request of the stream, its answer and the logins once it has been carried out.
struct Change {
    std::string request;
    std::string response;
    Logins after;
};

Logins with_put(Logins logins, const std::string& id, const std::string& password) {
    for (Login& login : logins) {
        if (login.id == id) {
            login.password = password;
            return logins;
        }
    }
    logins.push_back({id, password});
    return logins;
}

Logins with_delete(Logins logins, const std::string& id) {
    std::erase_if(logins, [&](const Login& login) { return login.id == id; });
    return logins;
}

// Puts (new ids and replacements, every password new) and deletes of stored ids.
class StreamPlanner {
  public:
    explicit StreamPlanner(unsigned seed) : random_(seed) {}

    std::vector<Change> plan(Logins logins) {
        std::vector<Change> changes;
        for (int i = 0; i < STREAM_LENGTH; ++i) {
            const std::string request_id = std::to_string(++request_id_);
            Change change;
            if (!logins.empty() && random_() % 3 == 0) {
                const std::string id = logins[random_() % logins.size()].id;
                change.request =
                    R"({"id":)" + request_id + R"(,"op":"delete","entry_id":")" + id + R"("})";
                change.response =
                    R"({"id":)" + request_id + R"(,"ok":true,"data":{"deleted":true}})";
                logins = with_delete(std::move(logins), id);
            } else {
                const std::string id = "e" + std::to_string(random_() % ID_POOL);
                const std::string password = "pw-" + request_id;
                change.request = R"({"id":)" + request_id + R"(,"op":"put","host":"example.org",)" +
                                 R"("password":")" + password + R"(","entry_id":")" + id + R"("})";
                change.response =
                    R"({"id":)" + request_id + R"(,"ok":true,"data":{"id":")" + id + R"("}})";
                logins = with_put(std::move(logins), id, password);
            }
            change.after = logins;
            changes.push_back(std::move(change));
        }
        return changes;
    }

    std::chrono::microseconds delay_up_to(std::chrono::microseconds longest) {
        return std::chrono::microseconds(random_() % (longest.count() + 1));
    }

  private:
    std::mt19937 random_;
    unsigned long request_id_ = 1;
};

// A host on `path`, unlocked; the response to unlock shows how many entries it read.
std::unique_ptr<HostProcess> unlocked_host(const std::string& path, std::size_t entries) {
    auto host = std::make_unique<HostProcess>(std::vector<std::string>{path});
    const std::string unlock =
        R"({"id":1,"op":"unlock","password":")" + std::string(testing_support::PASSWORD) + R"("})";
    EXPECT_EQ(host->request(unlock), R"({"id":1,"ok":true,"data":{"entries":)" +
                                         std::to_string(entries) + R"(,"unlocked":true}})");
    return host;
}

std::string joined(const std::vector<Change>& changes) {
    std::string lines;
    for (const Change& change : changes) lines += change.request + "\n";
    return lines;
}

TEST(CrashSafety, EveryAnsweredChangeSurvivesSigkill) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    StreamPlanner planner(seed);
    Logins current;

    // One stream to its end tells how long a stream takes here; kills land within a window
    // that starts there and follows the load: a kill that came after the last answer
    // halves it, one that came in time widens it by a quarter.
    std::chrono::microseconds window{};
    {
        const auto changes = planner.plan(current);
        auto host = unlocked_host(path, current.size());
        const auto start = std::chrono::steady_clock::now();
        host->send_raw(joined(changes));
        for (const Change& change : changes) ASSERT_EQ(host->receive(), change.response);
        window = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        ASSERT_EQ(host->wait(), 0);
        current = changes.back().after;
    }

    int kills = 0;
    int in_flight_kept = 0;
    int attempts = 0;
    for (; kills < KILLS && attempts < MAX_ATTEMPTS; ++attempts) {
        const auto changes = planner.plan(current);
        auto host = unlocked_host(path, current.size());
        host->send_raw(joined(changes));
        std::this_thread::sleep_for(planner.delay_up_to(window));
        host->kill_now();

        std::size_t answered = 0;
        while (auto line = host->receive()) {
            ASSERT_LT(answered, changes.size()) << *line;
            ASSERT_EQ(*line, changes[answered].response);
            ++answered;
        }
        EXPECT_EQ(host->wait(), 128 + SIGKILL);

        const auto on_disk = testing_support::open_vault_file(path);
        ASSERT_TRUE(on_disk.has_value()) << "after " << answered << " answers: " << on_disk.error();
        const Logins& acknowledged = answered == 0 ? current : changes[answered - 1].after;
        if (answered < changes.size()) {
            ++kills;
            const Logins& in_flight = changes[answered].after;
            ASSERT_TRUE(*on_disk == acknowledged || *on_disk == in_flight)
                << "after " << answered << " answers";
            if (*on_disk == in_flight) ++in_flight_kept;
            window += window / 4;
        } else {
            ASSERT_TRUE(*on_disk == acknowledged);
            window /= 2;
        }
        current = *on_disk;
    }
    EXPECT_EQ(kills, KILLS) << "in " << attempts << " attempts";
    std::cout << "[          ] " << kills << " kills during a stream of " << STREAM_LENGTH
              << " changes (" << attempts << " attempts, last window " << window.count()
              << " us); the change in flight was on disk after " << in_flight_kept << " of them\n";
}

}  // namespace
}  // namespace velkaron
