#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "entries/clock.hpp"
#include "entries/operations.hpp"
#include "support/entries_fixture.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using testing_support::EntriesTest;
using testing_support::is_uuid_v4;
using testing_support::listed;
using testing_support::login;

enum class Stored { Login, Unopenable, Unreadable };

struct StoredEntry {
    const char* id;
    const char* host;
    const char* username;
    std::uint64_t created_at;
    Stored kind = Stored::Login;
};

struct PutCase {
    const char* name;
    std::vector<StoredEntry> stored;
    const char* host;
    const char* username;
    std::optional<const char*> entry_id;
    std::optional<const char*> id;  // absent: a new random id
    std::size_t index;              // where the stored entry stands afterwards
    std::size_t count;
    std::optional<std::uint64_t> created_at;  // absent: the time of the put
};

const std::vector<StoredEntry> ALICE_AND_BOB{{"a", "example.com", "alice", 100},
                                             {"b", "example.com", "bob", 200}};

const PutCase PUT_CASES[] = {
    {"SameHostAndUserUpdates", ALICE_AND_BOB, "example.com", "bob", {}, "b", 1, 2, 200},
    {"HostDifferingInCaseIsNew", ALICE_AND_BOB, "Example.com", "bob", {}, {}, 2, 3, {}},
    {"MissingUserNameIsNew", ALICE_AND_BOB, "example.com", "", {}, {}, 2, 3, {}},
    {"EmptyUserNameMatchesAnEmptyOne",
     {{"e", "example.com", "", 5}},
     "example.com",
     "",
     {},
     "e",
     0,
     1,
     5},
    {"FirstOfTwoEqualLoginsWins",
     {{"x", "example.com", "bob", 1}, {"y", "example.com", "bob", 2}},
     "example.com",
     "bob",
     {},
     "x",
     0,
     2,
     1},
    {"SearchSkipsEntriesThatDoNotOpen",
     {{"u", "", "", 0, Stored::Unopenable},
      {"r", "", "", 0, Stored::Unreadable},
      {"b", "example.com", "bob", 7}},
     "example.com",
     "bob",
     {},
     "b",
     2,
     3,
     7},
    {"EntryIdOfAStoredEntryReplacesItInPlace", ALICE_AND_BOB, "other.org", "carol", "a", "a", 0, 2,
     100},
    {"EntryIdNobodyHasAppends",
     ALICE_AND_BOB,
     "example.com",
     "alice",
     "fresh id",
     "fresh id",
     2,
     3,
     {}},
    {"EmptyEntryIdIsAnId", ALICE_AND_BOB, "example.com", "alice", "", "", 2, 3, {}},
    {"UnreadableEntryUnderTheIdGetsANewCreationTime",
     {{"r", "", "", 0, Stored::Unreadable}},
     "example.com",
     "bob",
     "r",
     "r",
     0,
     1,
     {}},
    {"UnopenableEntryUnderTheIdGetsANewCreationTime",
     {{"u", "", "", 0, Stored::Unopenable}},
     "example.com",
     "bob",
     "u",
     "u",
     0,
     1,
     {}},
    // The first entry under an id is the one replaced, even when a later one matched.
    {"EarlierEntryUnderTheMatchedIdIsReplaced",
     {{"d", "other.org", "x", 50}, {"d", "example.com", "bob", 60}},
     "example.com",
     "bob",
     {},
     "d",
     0,
     2,
     50},
    {"EarlierUnreadableEntryUnderTheMatchedIdGetsANewCreationTime",
     {{"d", "", "", 0, Stored::Unreadable}, {"d", "example.com", "bob", 60}},
     "example.com",
     "bob",
     {},
     "d",
     0,
     2,
     {}},
};

class PutChoice : public EntriesTest, public testing::WithParamInterface<PutCase> {};

TEST_P(PutChoice, ChoosesIdPositionAndCreationTime) {
    const PutCase& c = GetParam();
    for (const StoredEntry& s : c.stored) {
        switch (s.kind) {
            case Stored::Login:
                store(s.id, s.host, s.username, s.created_at);
                break;
            case Stored::Unopenable:
                store_unopenable(s.id);
                break;
            case Stored::Unreadable:
                store_plaintext(s.id, "not json");
                break;
        }
    }
    const std::uint64_t before = unix_seconds();
    const auto id = put_entry(state, {.host = c.host,
                                      .username = c.username,
                                      .password = "new password",
                                      .title = "new title",
                                      .entry_id = c.entry_id});
    const std::uint64_t after = unix_seconds();
    ASSERT_TRUE(id) << id.error();

    if (c.id) {
        EXPECT_EQ(*id, *c.id);
    } else {
        EXPECT_TRUE(is_uuid_v4(*id)) << *id;
    }
    ASSERT_EQ(state.vault()->entries.size(), c.count);
    EXPECT_EQ(state.vault()->entries[c.index].id, *id);
    const Entry entry = opened(c.index);
    EXPECT_EQ(entry.host, c.host);
    EXPECT_EQ(entry.username, c.username);
    EXPECT_EQ(entry.password, "new password");
    EXPECT_EQ(entry.title, "new title");
    EXPECT_GE(entry.updated_at, before);
    EXPECT_LE(entry.updated_at, after);
    if (c.created_at) {
        EXPECT_EQ(entry.created_at, *c.created_at);
    } else {
        EXPECT_GE(entry.created_at, before);
        EXPECT_LE(entry.created_at, entry.updated_at);
    }
}

INSTANTIATE_TEST_SUITE_P(Put, PutChoice, testing::ValuesIn(PUT_CASES),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(EntriesTest, PutSavesTheWholeVault) {
    store("a", "example.com", "alice");
    const auto id = put_entry(state, login("example.org"));
    ASSERT_TRUE(id) << id.error();
    EXPECT_EQ(testing_support::read_file(state.path()), serialize_vault(*state.vault()));
}

TEST_F(EntriesTest, PutSealsUnderTheChosenId) {
    const auto id = put_entry(state, login("example.com", "mine"));
    ASSERT_TRUE(id) << id.error();
    state.vault()->entries[0].id = "other";
    const auto list = listed(state);
    ASSERT_FALSE(list);
    EXPECT_EQ(list.error(), "Entschlüsseln fehlgeschlagen");
}

TEST_F(EntriesTest, AFailedSaveKeepsThePutInMemoryForTheNextSave) {
    move_to(dir.file("missing/vault.json"));
    const auto id = put_entry(state, login("example.com"));
    ASSERT_FALSE(id);
    EXPECT_EQ(id.error(), "Schreiben fehlgeschlagen: No such file or directory (os error 2)");

    const auto list = listed(state);
    ASSERT_TRUE(list) << list.error();
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0]["host"], "example.com");

    std::filesystem::create_directory(dir.file("missing"));
    ASSERT_TRUE(put_entry(state, login("example.org")));
    EXPECT_EQ(testing_support::read_file(state.path()), serialize_vault(*state.vault()));
    EXPECT_EQ(state.vault()->entries.size(), 2u);
}

}  // namespace
}  // namespace velkaron
