// Three host processes on one vault, thousands of puts, deletes, reveals and autofill look-ups
// sent in random batches. Each host writes only its own entry ids, so what each host's writes
// leave behind is known in order; the vault file at the end must hold every host's last state,
// and every answer about a host's entries must match that host's state after some prefix of its
// writes that the file may have held between the request being sent and its answer being read.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using nlohmann::json;
using testing_support::HostProcess;
using testing_support::TempDir;

constexpr int HOSTS = 3;
// AddressSanitizer slows the hosts several times over; fewer operations keep it to seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr int OPERATIONS_PER_HOST = 300;
#else
constexpr int OPERATIONS_PER_HOST = 1000;
#endif
constexpr unsigned IDS_PER_HOST = 6;
constexpr unsigned MAX_BATCH = 6;
constexpr std::size_t MAX_IN_FLIGHT = 12;

using Logins = std::map<std::string, std::string>;  // entry id → password
using Clock = std::uint64_t;                        // counts sends and receives
constexpr Clock NOT_YET = ~Clock{0};

std::string domain(int host) {
    return "h" + std::to_string(host) + ".example";
}

std::string entry_id(int host, unsigned index) {
    return "h" + std::to_string(host) + "-" + std::to_string(index);
}

// One host's writes in the order it makes them, with the logins each leaves behind.
struct WriteLog {
    std::vector<Logins> after{Logins{}};  // after[m]: after the first m writes
    std::vector<Clock> sent;
    std::vector<Clock> answered;

    // The writes the file holds for sure by `clock`: those answered before it.
    [[nodiscard]] std::size_t answered_before(Clock clock) const {
        return static_cast<std::size_t>(
            std::find_if(answered.begin(), answered.end(), [&](Clock t) { return t >= clock; }) -
            answered.begin());
    }
};

struct InFlight {
    Clock sent;
    std::string expected;  // the exact answer of a write; empty for a read
    std::size_t write;     // its index in the host's log
    int about;             // a read: the host whose entries it asks about
    std::string entry;     // a reveal's id; empty for a look-up
};

class Driver {
  public:
    Driver(const std::string& path, unsigned seed) : random_(seed) {
        for (int host = 0; host < HOSTS; ++host) {
            hosts_.push_back(std::make_unique<HostProcess>(std::vector<std::string>{path}));
            const json unlock{{"id", 0}, {"op", "unlock"}, {"password", testing_support::PASSWORD}};
            EXPECT_EQ(hosts_.back()->request(unlock.dump()),
                      R"({"id":0,"ok":true,"data":{"entries":0,"unlocked":true}})");
        }
        logs_.resize(HOSTS);
        in_flight_.resize(HOSTS);
        left_.assign(HOSTS, OPERATIONS_PER_HOST);
    }

    // Until every host has sent and answered all its requests; false at the first fault.
    bool run() {
        while (busy()) {
            const int host = static_cast<int>(random_() % HOSTS);
            const bool can_send = left_[host] > 0 && in_flight_[host].size() < MAX_IN_FLIGHT;
            if (can_send && (in_flight_[host].empty() || random_() % 2 == 0)) {
                send_batch(host);
            } else if (!in_flight_[host].empty()) {
                for (auto n = 1 + random_() % in_flight_[host].size(); n > 0; --n) {
                    if (!receive(host)) return false;
                }
            }
        }
        return true;
    }

    // What every host left behind, together.
    [[nodiscard]] Logins expected_file() const {
        Logins all;
        for (const WriteLog& log : logs_)
            all.insert(log.after.back().begin(), log.after.back().end());
        return all;
    }

    int finish() {
        int worst = 0;
        for (auto& host : hosts_) worst = std::max(worst, host->wait());
        return worst;
    }

    [[nodiscard]] std::size_t writes() const {
        std::size_t count = 0;
        for (const WriteLog& log : logs_) count += log.sent.size();
        return count;
    }

  private:
    bool busy() const {
        for (int host = 0; host < HOSTS; ++host) {
            if (left_[host] > 0 || !in_flight_[host].empty()) return true;
        }
        return false;
    }

    void send_batch(int host) {
        const std::size_t room = MAX_IN_FLIGHT - in_flight_[host].size();
        const auto count = std::min<std::size_t>(
            {1 + random_() % MAX_BATCH, room, static_cast<std::size_t>(left_[host])});
        std::string lines;
        for (std::size_t i = 0; i < count; ++i) lines += next_request(host) + "\n";
        left_[host] -= static_cast<int>(count);
        hosts_[host]->send_raw(lines);
    }

    // Puts and deletes of the host's own ids; reveals and look-ups of anyone's.
    std::string next_request(int host) {
        const Clock now = ++clock_;
        const std::uint64_t id = now;
        const unsigned roll = random_() % 100;
        if (roll < 55) {
            const std::string entry = entry_id(host, random_() % IDS_PER_HOST);
            WriteLog& log = logs_[host];
            Logins after = log.after.back();
            json request{{"id", id}, {"entry_id", entry}};
            const std::string answer = R"({"id":)" + std::to_string(id) + ",";
            std::string expected;
            if (roll < 35) {
                const std::string password = "pw-" + std::to_string(id);
                request.update({{"op", "put"}, {"host", domain(host)}, {"password", password}});
                after[entry] = password;
                expected = answer + R"("ok":true,"data":{"id":")" + entry + "\"}}";
            } else {
                request["op"] = "delete";
                expected = answer + (after.erase(entry) == 1
                                         ? R"("ok":true,"data":{"deleted":true}})"
                                         : R"("ok":false,"error":"Eintrag nicht gefunden"})");
            }
            log.after.push_back(std::move(after));
            log.sent.push_back(now);
            log.answered.push_back(NOT_YET);
            in_flight_[host].push_back({now, expected, log.sent.size() - 1, host, ""});
            return request.dump();
        }
        const int about = static_cast<int>(random_() % HOSTS);
        if (roll < 85) {
            const std::string entry = entry_id(about, random_() % IDS_PER_HOST);
            in_flight_[host].push_back({now, "", 0, about, entry});
            return json{{"id", id}, {"op", "reveal"}, {"entry_id", entry}}.dump();
        }
        in_flight_[host].push_back({now, "", 0, about, ""});
        return json{{"id", id}, {"op", "for-host"}, {"host", domain(about)}, {"secure", true}}
            .dump();
    }

    bool receive(int host) {
        const InFlight request = in_flight_[host].front();
        in_flight_[host].erase(in_flight_[host].begin());
        const auto answer = hosts_[host]->receive();
        const Clock now = ++clock_;
        if (!answer) {
            ADD_FAILURE() << "host " << host << " ended";
            return false;
        }
        if (!request.expected.empty()) {
            logs_[host].answered[request.write] = now;
            EXPECT_EQ(*answer, request.expected) << "host " << host;
            return *answer == request.expected;
        }
        // Anything the file held while the request was on its way counts, nothing older.
        const WriteLog& log = logs_[request.about];
        const std::size_t oldest = log.answered_before(request.sent);
        for (std::size_t m = oldest; m < log.after.size(); ++m) {
            if (answers(*answer, request, log.after[m])) return true;
        }
        ADD_FAILURE() << "host " << host << " answered " << *answer << " about host "
                      << request.about << ", which had made " << oldest << " to "
                      << log.after.size() - 1 << " writes meanwhile";
        return false;
    }

    static bool answers(const std::string& answer, const InFlight& request, const Logins& state) {
        const json response = json::parse(answer);
        if (!request.entry.empty()) {
            const auto stored = state.find(request.entry);
            if (stored == state.end()) {
                return response["ok"] == false && response["error"] == "Eintrag nicht gefunden";
            }
            return response["ok"] == true && response["data"]["password"] == stored->second &&
                   response["data"]["host"] == domain(request.about);
        }
        if (response["ok"] != true) return false;
        Logins found;
        for (const json& item : response["data"]) {
            found[item["id"].get<std::string>()] = item["password"].get<std::string>();
        }
        return found == state;
    }

    std::mt19937 random_;
    std::vector<std::unique_ptr<HostProcess>> hosts_;
    std::vector<WriteLog> logs_;
    std::vector<std::vector<InFlight>> in_flight_;
    std::vector<int> left_;
    Clock clock_ = 0;
};

TEST(SharedVaultStress, ThreeHostsLoseNoAnsweredChangeAndNeverAnswerFromAnOlderCopy) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));

    Driver driver(path, seed);
    ASSERT_TRUE(driver.run());
    EXPECT_EQ(driver.finish(), 0);
    const auto on_disk = testing_support::open_vault_file(path);
    ASSERT_TRUE(on_disk.has_value()) << on_disk.error();
    Logins file;
    for (const auto& login : *on_disk) file[login.id] = login.password;
    EXPECT_EQ(file, driver.expected_file());
    EXPECT_EQ(file.size(), on_disk->size()) << "an id stands twice in the file";
    std::cout << "[          ] " << HOSTS * OPERATIONS_PER_HOST << " requests, " << driver.writes()
              << " of them writes, by " << HOSTS << " hosts; " << file.size()
              << " logins at the end\n";
}

}  // namespace
}  // namespace velkaron
