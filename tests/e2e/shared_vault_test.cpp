// Several clients on one vault, through real host processes: no change one host answered as
// saved is lost to another host's save, no host answers from a copy older than the file, a
// vault replaced by another is never written over, and a save that waits for the lock while
// another program changes the file makes its change on that file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "base/posix.hpp"
#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "entries/entry.hpp"
#include "entries/operations.hpp"
#include "keys/unlock.hpp"
#include "support/case_name.hpp"
#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/storage.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::HostProcess;
using testing_support::Login;
using testing_support::Logins;
using testing_support::PASSWORD;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

constexpr const char* NEW_PASSWORD = "ein-neues-langes-passwort";
const std::string CHANGED = "Tresordatei inzwischen geändert, nichts gespeichert: ";

std::string ok(int id, const std::string& data) {
    return R"({"id":)" + std::to_string(id) + R"(,"ok":true,"data":)" + data + "}";
}

std::string error(int id, const std::string& message) {
    return R"({"id":)" + std::to_string(id) + R"(,"ok":false,"error":")" + message + "\"}";
}

std::string unlock(int id, const std::string& password = PASSWORD) {
    return json{{"id", id}, {"op", "unlock"}, {"password", password}}.dump();
}

// A login for `host` under `entry_id` (none: found by host and empty user name).
std::string put(int id, const std::string& host, const std::string& password,
                const std::optional<std::string>& entry_id) {
    json request{{"id", id}, {"op", "put"}, {"host", host}, {"password", password}};
    if (entry_id) request["entry_id"] = *entry_id;
    return request.dump();
}

std::string put(int id, const std::string& entry_id) {
    return put(id, entry_id + ".example", "pw-" + entry_id, entry_id);
}

std::string remove(int id, const std::string& entry_id) {
    return json{{"id", id}, {"op", "delete"}, {"entry_id", entry_id}}.dump();
}

std::string detail(const std::string& entry_id, const std::string& password) {
    return json{{"host", entry_id + ".example"},
                {"id", entry_id},
                {"password", password},
                {"title", ""},
                {"username", ""}}
        .dump();
}

std::string unlocked_with(std::size_t entries) {
    return R"({"entries":)" + std::to_string(entries) + R"(,"unlocked":true})";
}

// The logins of the vault file, in id order, opened in this process with `password`.
Logins logins_in(const std::string& path, const std::string& password = PASSWORD) {
    auto logins = testing_support::open_vault_file(path, password);
    EXPECT_TRUE(logins.has_value()) << logins.error();
    if (!logins) return {};
    std::sort(logins->begin(), logins->end(),
              [](const Login& a, const Login& b) { return a.id < b.id; });
    return *logins;
}

// Another program that knows the master password, such as a client on another machine whose
// file a sync tool brings: it reads the vault file, changes the vault and renames its own file
// over the path, taking no lock.
class Outsider {
  public:
    explicit Outsider(const std::string& path) : state_(path) {
        const auto unlocked = unlock_vault(state_, PASSWORD);
        EXPECT_TRUE(unlocked.has_value()) << unlocked.error();
    }

    Outsider& add(const std::string& id, const std::string& host, const std::string& password) {
        Entry entry;
        entry.host = host;
        entry.password = password;
        const auto plaintext = write_entry(entry);
        auto sealed = seal(state_.key()->copy(), bytes_of(plaintext->view()), id);
        EXPECT_TRUE(sealed.has_value());
        state_.vault()->entries.push_back(SealedEntry{id, sealed.value_or(Sealed{})});
        return *this;
    }

    Outsider& remove(const std::string& id) {
        std::erase_if(state_.vault()->entries, [&](const SealedEntry& e) { return e.id == id; });
        return *this;
    }

    void rename_over() const {
        write_file(state_.path() + ".sync", serialize_vault(*state_.vault()));
        fs::rename(state_.path() + ".sync", state_.path());
    }

  private:
    HostState state_;
};

// A file of another vault (another key), renamed over `path`.
void rename_another_vault_over(const std::string& path) {
    const std::string elsewhere = path + ".other";
    testing_support::create_small_vault(elsewhere);
    HostState other(elsewhere);
    ASSERT_TRUE(unlock_vault(other, PASSWORD).has_value());
    ASSERT_TRUE(put_entry(other, {.host = "other.example",
                                  .username = "",
                                  .password = "pw",
                                  .title = "",
                                  .entry_id = std::string_view("other")})
                    .has_value());
    fs::rename(elsewhere, path);
}

// --- two hosts, one after the other ---------------------------------------------------------

TEST(SharedVault, EveryHostsPutsAreKeptAndSeenByTheOthers) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    HostProcess a({path});
    HostProcess b({path});
    ASSERT_EQ(a.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(b.request(unlock(1)), ok(1, unlocked_with(0)));

    ASSERT_EQ(b.request(put(2, "b1")), ok(2, R"({"id":"b1"})"));
    // A answers from the file B wrote, not from the copy it read before.
    EXPECT_EQ(
        a.request(
            json{{"id", 3}, {"op", "for-host"}, {"host", "b1.example"}, {"secure", true}}.dump()),
        ok(3, "[" + detail("b1", "pw-b1") + "]"));
    ASSERT_EQ(a.request(put(4, "a1")), ok(4, R"({"id":"a1"})"));
    EXPECT_EQ(logins_in(path), (Logins{{"a1", "pw-a1"}, {"b1", "pw-b1"}}));

    // Without entry_id, the search by host and user name sees the other host's login.
    const json stored = json::parse(b.request(put(5, "shared.example", "from-b", std::nullopt)));
    ASSERT_TRUE(stored["ok"].get<bool>()) << stored;
    const std::string shared = stored["data"]["id"].get<std::string>();
    EXPECT_EQ(a.request(put(6, "shared.example", "from-a", std::nullopt)),
              ok(6, json{{"id", shared}}.dump()));
    Logins expected{{"a1", "pw-a1"}, {"b1", "pw-b1"}, {shared, "from-a"}};
    std::sort(expected.begin(), expected.end(),
              [](const Login& x, const Login& y) { return x.id < y.id; });
    EXPECT_EQ(logins_in(path), expected);
    EXPECT_EQ(b.wait(), 0);
    EXPECT_EQ(a.wait(), 0);
}

TEST(SharedVault, WhatOneHostDeletedStaysDeleted) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    HostProcess a({path});
    ASSERT_EQ(a.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(a.request(put(2, "e1")), ok(2, R"({"id":"e1"})"));
    ASSERT_EQ(a.request(put(3, "e2")), ok(3, R"({"id":"e2"})"));
    HostProcess b({path});
    ASSERT_EQ(b.request(unlock(1)), ok(1, unlocked_with(2)));

    ASSERT_EQ(b.request(remove(2, "e1")), ok(2, R"({"deleted":true})"));
    ASSERT_EQ(a.request(put(4, "e3")), ok(4, R"({"id":"e3"})"));
    EXPECT_EQ(logins_in(path), (Logins{{"e2", "pw-e2"}, {"e3", "pw-e3"}}));

    ASSERT_EQ(a.request(remove(5, "e2")), ok(5, R"({"deleted":true})"));
    ASSERT_EQ(b.request(put(3, "e4")), ok(3, R"({"id":"e4"})"));
    EXPECT_EQ(logins_in(path), (Logins{{"e3", "pw-e3"}, {"e4", "pw-e4"}}));
    // Asked after B's delete was answered, A knows the entry is gone.
    EXPECT_EQ(a.request(remove(6, "e1")), error(6, "Eintrag nicht gefunden"));
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
}

TEST(SharedVault, APasswordChangedByOneHostIsKeptByTheOther) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    const std::string code = testing_support::create_small_vault(path);
    HostProcess a({path});
    HostProcess b({path});
    ASSERT_EQ(a.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(b.request(unlock(1)), ok(1, unlocked_with(0)));

    const json change{{"id", 2},
                      {"op", "change-password"},
                      {"password", PASSWORD},
                      {"new_password", NEW_PASSWORD}};
    ASSERT_EQ(b.request(change.dump()), ok(2, R"({"changed":true})"));
    const VaultFile changed_by_b = *parse_vault(read_file(path));
    ASSERT_EQ(a.request(put(3, "a1")), ok(3, R"({"id":"a1"})"));
    const VaultFile after_a = *parse_vault(read_file(path));
    EXPECT_EQ(after_a.kdf, changed_by_b.kdf);
    EXPECT_EQ(after_a.wrapped_key, changed_by_b.wrapped_key);

    EXPECT_EQ(logins_in(path, NEW_PASSWORD), (Logins{{"a1", "pw-a1"}}));
    HostState by_code(path);
    EXPECT_TRUE(unlock_with_recovery(by_code, code).has_value());
    HostState by_old(path);
    EXPECT_EQ(unlock_vault(by_old, PASSWORD).error(), "Falsches Master-Passwort");

    // A follows the file: its own change must prove the new password.
    EXPECT_EQ(a.request(change.dump()), error(2, "Falsches Master-Passwort"));
    const json again{{"id", 4},
                     {"op", "change-password"},
                     {"password", NEW_PASSWORD},
                     {"new_password", "noch-ein-anderes-passwort"}};
    EXPECT_EQ(a.request(again.dump()), ok(4, R"({"changed":true})"));
    EXPECT_EQ(logins_in(path, "noch-ein-anderes-passwort"), (Logins{{"a1", "pw-a1"}}));
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
}

// --- another program's file ------------------------------------------------------------

TEST(SharedVault, AVaultReplacedByAnotherIsNeverWrittenOver) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    HostProcess a({path});
    ASSERT_EQ(a.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(a.request(put(2, "e1")), ok(2, R"({"id":"e1"})"));
    rename_another_vault_over(path);
    const std::string other = read_file(path);

    // status reports what is in memory and changes nothing.
    const std::string status = R"({"id":3,"op":"status"})";
    EXPECT_EQ(a.request(status), ok(3, R"({"entries":1,"exists":true,"unlocked":true})"));
    EXPECT_EQ(a.request(put(4, "e2")), error(4, "Tresor ist gesperrt"));
    EXPECT_EQ(a.request(status), ok(3, R"({"entries":1,"exists":true,"unlocked":false})"));
    EXPECT_EQ(a.request(R"({"id":5,"op":"reveal","entry_id":"other"})"),
              error(5, "Tresor ist gesperrt"));
    EXPECT_EQ(read_file(path), other);
    // The other vault is what the host now holds: its own password opens it.
    EXPECT_EQ(a.request(unlock(6)), ok(6, unlocked_with(1)));
    EXPECT_EQ(a.wait(), 0);
}

TEST(SharedVault, ASyncToolsRenameOverIsFollowedAndKept) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    HostProcess a({path});
    HostProcess b({path});
    ASSERT_EQ(a.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(b.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(a.request(put(2, "a1")), ok(2, R"({"id":"a1"})"));

    Outsider(path).add("synced", "synced.example", "pw-synced").rename_over();
    const std::string for_host = json{
        {"id", 3},
        {"op", "for-host"},
        {"host", "www.synced.example"},
        {"secure", true}}.dump();
    EXPECT_EQ(a.request(for_host), ok(3, "[" + detail("synced", "pw-synced") + "]"));
    EXPECT_EQ(b.request(for_host), ok(3, "[" + detail("synced", "pw-synced") + "]"));
    ASSERT_EQ(b.request(put(4, "b1")), ok(4, R"({"id":"b1"})"));
    EXPECT_EQ(logins_in(path), (Logins{{"a1", "pw-a1"}, {"b1", "pw-b1"}, {"synced", "pw-synced"}}));
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
}

// --- a change that lands while a save waits for the lock -------------------------------

// Holds the lock a saving host takes on the temporary file, so that the test can change the
// vault file after the host has looked at it and before its save looks again.
class SaveLock {
  public:
    explicit SaveLock(const std::string& vault_path)
        : file_(::open(temporary_path(vault_path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        EXPECT_TRUE(file_);
        EXPECT_EQ(::flock(file_.get(), LOCK_EX), 0);
    }

    // Until the kernel lists `pid` as waiting for a lock.
    [[nodiscard]] bool awaited_by(pid_t pid) const {
        const std::string waiter = " " + std::to_string(pid) + " ";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream locks("/proc/locks");
            for (std::string line; std::getline(locks, line);) {
                if (line.find("-> FLOCK") != std::string::npos &&
                    line.find(waiter) != std::string::npos) {
                    return true;
                }
            }
            std::this_thread::yield();
        }
        return false;
    }

    void release() { file_.reset(); }

  private:
    UniqueFd file_;
};

struct Meanwhile {
    const char* name;
    std::string request;  // to a host that has stored e1 and e2
    std::function<void(const std::string& path)> change;
    std::string response;
    Logins on_disk;  // after a success
    std::string password = PASSWORD;
    std::string next_request = {};  // and its response: how the host goes on
    std::string next_response = {};
};

class WhileTheSaveWaits : public testing::TestWithParam<Meanwhile> {};

TEST_P(WhileTheSaveWaits, TheChangeIsMadeOnTheNewerFileOrNothingIsWritten) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::create_small_vault(path);
    HostProcess host({path});
    ASSERT_EQ(host.request(unlock(1)), ok(1, unlocked_with(0)));
    ASSERT_EQ(host.request(put(1, "e1")), ok(1, R"({"id":"e1"})"));
    ASSERT_EQ(host.request(put(1, "e2")), ok(1, R"({"id":"e2"})"));

    SaveLock lock(path);
    host.send(GetParam().request);
    ASSERT_TRUE(lock.awaited_by(host.pid()));
    GetParam().change(path);
    const std::string left = read_file(path);
    lock.release();

    EXPECT_EQ(host.receive(), GetParam().response);
    if (GetParam().response.find(R"("ok":true)") != std::string::npos) {
        EXPECT_EQ(logins_in(path, GetParam().password), GetParam().on_disk);
    } else {
        EXPECT_EQ(read_file(path), left);
    }
    if (!GetParam().next_request.empty()) {
        EXPECT_EQ(host.request(GetParam().next_request), GetParam().next_response);
    }
    EXPECT_EQ(host.wait(), 0);
}

const std::string HALF_WRITTEN =
    CHANGED +
    "Tresor beschädigt: syntax error while parsing value - invalid string: missing closing "
    "quote at line 1 column 40";

INSTANTIATE_TEST_SUITE_P(
    Changes, WhileTheSaveWaits,
    testing::Values(
        Meanwhile{"PutKeepsAnEntryAddedMeanwhile",
                  put(2, "e3"),
                  [](const std::string& path) {
                      Outsider(path).add("theirs", "theirs.example", "t").rename_over();
                  },
                  ok(2, R"({"id":"e3"})"),
                  {{"e1", "pw-e1"}, {"e2", "pw-e2"}, {"e3", "pw-e3"}, {"theirs", "t"}}},
        // The search by host and user name runs again on the newer file.
        Meanwhile{"PutWithoutIdFindsTheLoginStoredMeanwhile",
                  put(2, "shared.example", "mine", std::nullopt),
                  [](const std::string& path) {
                      Outsider(path).add("theirs", "shared.example", "t").rename_over();
                  },
                  ok(2, R"({"id":"theirs"})"),
                  {{"e1", "pw-e1"}, {"e2", "pw-e2"}, {"theirs", "mine"}}},
        // Removed by the other program already: what the client asked for holds.
        Meanwhile{
            "DeleteOfAnEntryRemovedMeanwhile",
            remove(2, "e1"),
            [](const std::string& path) {
                Outsider(path).remove("e1").add("theirs", "theirs.example", "t").rename_over();
            },
            ok(2, R"({"deleted":true})"),
            {{"e2", "pw-e2"}, {"theirs", "t"}}},
        Meanwhile{"ChangePasswordKeepsAnEntryAddedMeanwhile",
                  json{{"id", 2},
                       {"op", "change-password"},
                       {"password", PASSWORD},
                       {"new_password", NEW_PASSWORD}}
                      .dump(),
                  [](const std::string& path) {
                      Outsider(path).add("theirs", "theirs.example", "t").rename_over();
                  },
                  ok(2, R"({"changed":true})"),
                  {{"e1", "pw-e1"}, {"e2", "pw-e2"}, {"theirs", "t"}},
                  NEW_PASSWORD},
        // The change stays in memory, but the host now follows the other vault and its key
        // is gone.
        Meanwhile{"PutOntoAnotherVault",
                  put(2, "e3"),
                  rename_another_vault_over,
                  error(2, CHANGED + "anderer Tresor"),
                  {},
                  PASSWORD,
                  R"({"id":3,"op":"list"})",
                  error(3, "Tresor ist gesperrt")},
        // Refused until the file reads again.
        Meanwhile{"PutOntoAHalfWrittenFile",
                  put(2, "e3"),
                  [](const std::string& path) {
                      write_file(path + ".half", read_file(path).substr(0, 40));
                      fs::rename(path + ".half", path);
                  },
                  error(2, HALF_WRITTEN),
                  {},
                  PASSWORD,
                  put(3, "e4"),
                  error(3, HALF_WRITTEN)}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
