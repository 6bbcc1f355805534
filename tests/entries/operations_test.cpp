#include "entries/operations.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "entries/autofill.hpp"
#include "support/entries_fixture.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using nlohmann::json;
using testing_support::EntriesTest;
using testing_support::found_for;
using testing_support::listed;
using testing_support::login;
using testing_support::revealed;

std::vector<std::string> ids_of(const json& list) {
    std::vector<std::string> ids;
    for (const auto& item : list) ids.push_back(item["id"]);
    return ids;
}

// --- list ---------------------------------------------------------------------------------

TEST_F(EntriesTest, ListSortsByHostThenUserNameInByteOrderKeepingFileOrderOfEquals) {
    store("1", "a.com", "bob");
    store("2", "Zeta.com", "x");
    store("3", "a.com", "alice");
    store("4", "\xc3\xa4.com", "x");  // a non-ASCII lead byte sorts after every ASCII one
    store("5", "a.com", "alice");
    store("6", "a.com.au", "");
    store("7", "a.com", "Alice");
    store("8", "a.com", "alice");
    const auto list = listed(state);
    ASSERT_TRUE(list) << list.error();
    EXPECT_EQ(ids_of(*list), (std::vector<std::string>{"2", "7", "3", "5", "8", "1", "6", "4"}));
}

TEST_F(EntriesTest, ListGivesSummariesWithoutPasswordOrCreationTime) {
    store_plaintext("id",
                    R"({"password":"pw","host":"h","username":"u","created_at":1,"updated_at":2})");
    const auto list = listed(state);
    ASSERT_TRUE(list) << list.error();
    EXPECT_EQ(list->dump(), R"([{"host":"h","id":"id","title":"","updated_at":2,"username":"u"}])");
}

TEST_F(EntriesTest, ListFailsWholeOnTheFirstBadEntry) {
    store("a", "example.com", "alice");
    store_plaintext("b", R"({"host":"h","username":"u","password":"p","created_at":1})");
    store_unopenable("c");
    const auto list = listed(state);
    ASSERT_FALSE(list);
    EXPECT_EQ(list.error(), "Eintrag beschädigt: missing field `updated_at` at line 1 column 57");
}

// --- reveal -------------------------------------------------------------------------------

TEST_F(EntriesTest, RevealGivesTheFirstEntryUnderTheId) {
    store("a", "example.com", "alice", 1, "first");
    store("b", "example.com", "bob");
    store("a", "example.com", "alice", 1, "second");
    const auto detail = revealed(state, "a");
    ASSERT_TRUE(detail) << detail.error();
    EXPECT_EQ(
        detail->dump(),
        R"({"host":"example.com","id":"a","password":"first","title":"","username":"alice"})");
}

TEST_F(EntriesTest, RevealPassesOpeningFaultsOn) {
    store_unopenable("u");
    store_plaintext("r", "[]");
    const auto unopenable = revealed(state, "u");
    ASSERT_FALSE(unopenable);
    EXPECT_EQ(unopenable.error(), "Entschlüsseln fehlgeschlagen");
    const auto unreadable = revealed(state, "r");
    ASSERT_FALSE(unreadable);
    EXPECT_EQ(
        unreadable.error(),
        "Eintrag beschädigt: invalid type: sequence, expected struct Entry at line 1 column 0");
}

// --- delete -------------------------------------------------------------------------------

TEST_F(EntriesTest, DeleteRemovesEveryEntryUnderTheIdWithoutOpeningAny) {
    store("a", "example.com", "alice");
    store_unopenable("x");
    store("b", "example.com", "bob");
    store_plaintext("x", "not json");
    ASSERT_TRUE(delete_entry(state, "x"));
    ASSERT_EQ(state.vault()->entries.size(), 2u);
    EXPECT_EQ(state.vault()->entries[0].id, "a");
    EXPECT_EQ(state.vault()->entries[1].id, "b");
    EXPECT_EQ(testing_support::read_file(state.path()), serialize_vault(*state.vault()));
}

TEST_F(EntriesTest, AFailedSaveKeepsTheDeletionInMemory) {
    store("a", "example.com", "alice");
    move_to(dir.file("missing/vault.json"));
    const auto deleted = delete_entry(state, "a");
    ASSERT_FALSE(deleted);
    EXPECT_EQ(deleted.error(), "Schreiben fehlgeschlagen: No such file or directory (os error 2)");
    EXPECT_TRUE(state.vault()->entries.empty());
}

// --- state tests, in each operation's order -----------------------------------------------

enum class Setup { Empty, LoadedWithoutEntries, LoadedLocked, Unlocked };

struct StateCase {
    const char* name;
    Setup setup;
    std::function<Result<json>(HostState&)> operation;
    const char* error;           // nullptr: succeeds
    const char* data = nullptr;  // on success, when the answer is fixed
};

Result<json> put(HostState& s) {
    auto id = put_entry(s, login("example.com"));
    if (!id) return fail(id.error());
    return json(*id);
}
Result<json> remove(HostState& s, std::string_view id) {
    if (auto done = delete_entry(s, id); !done) return fail(done.error());
    return json(true);
}
Result<json> list(HostState& s) {
    return listed(s);
}
Result<json> reveal_stored(HostState& s) {
    return revealed(s, "stored");
}
Result<json> reveal_missing(HostState& s) {
    return revealed(s, "missing");
}
Result<json> delete_stored(HostState& s) {
    return remove(s, "stored");
}
Result<json> delete_missing(HostState& s) {
    return remove(s, "missing");
}
Result<json> for_host(HostState& s) {
    return found_for(s, "example.com");
}

constexpr const char* LOCKED = "Tresor ist gesperrt";
constexpr const char* NOT_LOADED = "kein Tresor geladen";
constexpr const char* NOT_FOUND = "Eintrag nicht gefunden";

const StateCase STATE_CASES[] = {
    {"PutEmpty", Setup::Empty, put, LOCKED},
    {"PutLoaded", Setup::LoadedWithoutEntries, put, LOCKED},
    {"PutLoadedLocked", Setup::LoadedLocked, put, LOCKED},
    {"PutUnlocked", Setup::Unlocked, put, nullptr},
    {"ListEmpty", Setup::Empty, list, NOT_LOADED},
    {"ListLoadedWithoutEntries", Setup::LoadedWithoutEntries, list, nullptr, "[]"},
    {"ListLoadedLocked", Setup::LoadedLocked, list, LOCKED},
    {"RevealEmpty", Setup::Empty, reveal_missing, NOT_LOADED},
    {"RevealMissingLoaded", Setup::LoadedWithoutEntries, reveal_missing, NOT_FOUND},
    {"RevealMissingLocked", Setup::LoadedLocked, reveal_missing, NOT_FOUND},
    {"RevealStoredLocked", Setup::LoadedLocked, reveal_stored, LOCKED},
    {"RevealMissingUnlocked", Setup::Unlocked, reveal_missing, NOT_FOUND},
    {"RevealStoredUnlocked", Setup::Unlocked, reveal_stored, nullptr},
    {"DeleteEmpty", Setup::Empty, delete_missing, LOCKED},
    {"DeleteMissingLoaded", Setup::LoadedWithoutEntries, delete_missing, LOCKED},
    {"DeleteMissingLocked", Setup::LoadedLocked, delete_missing, LOCKED},
    {"DeleteStoredLocked", Setup::LoadedLocked, delete_stored, LOCKED},
    {"DeleteMissingUnlocked", Setup::Unlocked, delete_missing, NOT_FOUND},
    {"DeleteStoredUnlocked", Setup::Unlocked, delete_stored, nullptr, "true"},
    {"ForHostEmpty", Setup::Empty, for_host, NOT_LOADED},
    {"ForHostLoadedWithoutEntries", Setup::LoadedWithoutEntries, for_host, nullptr, "[]"},
    {"ForHostLoadedLocked", Setup::LoadedLocked, for_host, LOCKED},
};

class StateTests : public EntriesTest, public testing::WithParamInterface<StateCase> {};

TEST_P(StateTests, ComeInTheirOrder) {
    const StateCase& c = GetParam();
    if (c.setup == Setup::LoadedLocked || c.setup == Setup::Unlocked) {
        store("stored", "example.com", "alice");
    }
    // Adopted again as a vault not saved yet, the vault stays and the key goes.
    if (c.setup != Setup::Unlocked) state.adopt(VaultFile(*state.vault()), std::nullopt);
    if (c.setup == Setup::Empty) state.lock();

    const auto result = c.operation(state);
    if (c.error) {
        ASSERT_FALSE(result) << result->dump();
        EXPECT_EQ(result.error(), c.error);
    } else {
        ASSERT_TRUE(result) << result.error();
        if (c.data) {
            EXPECT_EQ(result->dump(), c.data);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, StateTests, testing::ValuesIn(STATE_CASES),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace velkaron
