#include "entries/autofill.hpp"

#include <gtest/gtest.h>

#include "support/entries_fixture.hpp"

namespace velkaron {
namespace {

using testing_support::EntriesTest;
using testing_support::found_for;

TEST_F(EntriesTest, ForHostAnswersMatchesInFileOrderWithTheStoredHost) {
    store("1", "www.Example.com", "zed", 1, "p1");
    store("2", "login.example.com", "x");
    store("3", "example.com", "amy", 1, "p3");
    store("4", "other.org", "x");
    const auto found = found_for(state, "WWW.login.example.com");
    ASSERT_TRUE(found) << found.error();
    EXPECT_EQ(
        found->dump(),
        R"([{"host":"www.Example.com","id":"1","password":"p1","title":"","username":"zed"},)"
        R"({"host":"login.example.com","id":"2","password":"secret","title":"","username":"x"},)"
        R"({"host":"example.com","id":"3","password":"p3","title":"","username":"amy"}])");
}

TEST_F(EntriesTest, ForHostWithoutMatchesIsAnEmptyArray) {
    store("1", "example.com", "x");
    const auto found = found_for(state, "www.");
    ASSERT_TRUE(found) << found.error();
    EXPECT_EQ(found->dump(), "[]");
}

TEST_F(EntriesTest, ForHostFailsWholeOnAnEntryThatWouldNotMatch) {
    store("1", "example.com", "x");
    store_plaintext(
        "2",
        R"({"host":"other.org","username":"x","password":"p","created_at":-5,"updated_at":1})");
    const auto found = found_for(state, "example.com");
    ASSERT_FALSE(found);
    EXPECT_EQ(found.error(),
              "Eintrag beschädigt: invalid value: integer `-5`, expected u64 at line 1 column 65");

    state.vault()->entries.pop_back();
    store_unopenable("3");
    const auto unopenable = found_for(state, "example.com");
    ASSERT_FALSE(unopenable);
    EXPECT_EQ(unopenable.error(), "Entschlüsseln fehlgeschlagen");
}

}  // namespace
}  // namespace velkaron
