#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "support/case_name.hpp"
#include "support/entries_fixture.hpp"
#include "transfer/import.hpp"

namespace velkaron {
namespace {

using testing_support::CaseName;
using testing_support::EntriesTest;

std::string base64_of(std::string_view file) {
    return base64_encode(bytes_of(file));
}

struct Stored {
    std::string host, username, password, title;
    std::uint64_t created_at;
    friend bool operator==(const Stored&, const Stored&) = default;
};

void PrintTo(const Stored& s, std::ostream* os) {
    *os << s.host << " [" << s.username << "] [" << s.password << "] [" << s.title << "] "
        << s.created_at;
}

struct Conflict {
    std::size_t line;
    std::string host, username;
    friend bool operator==(const Conflict&, const Conflict&) = default;
};

constexpr char HEADER[] = "name,url,username,password,note\n";

struct MergeCase {
    const char* name;
    std::string rows;  // after HEADER
    bool replace;
    std::size_t added, unchanged, replaced;
    std::vector<Conflict> conflicts;
    std::vector<Stored> after;  // the stored logins afterwards, in file order
};

// Stored beforehand: "Example.org", "erika", "secret", titled "Alt", created at 100.
const Stored ERIKA{"Example.org", "erika", "secret", "Alt", 100};

const MergeCase MERGE_CASES[] = {
    {"SameLoginOfFoldedHostUnchanged",
     ",https://EXAMPLE.org/x,erika,secret,\n",
     false,
     0,
     1,
     0,
     {},
     {ERIKA}},
    {"OtherUserNameAdded",
     ",https://example.org/,max,secret,\n",
     false,
     1,
     0,
     0,
     {},
     {ERIKA, {"example.org", "max", "secret", "", 0}}},
    {"ConflictKeepsStored",
     "T,https://example.org/,erika,neu,\n",
     false,
     0,
     0,
     0,
     {{2, "example.org", "erika"}},
     {ERIKA}},
    {"ReplaceKeepsHostAndCreationTakesPasswordAndTitle",
     "T,https://example.org/,erika,neu,\n",
     true,
     0,
     0,
     1,
     {},
     {{"Example.org", "erika", "neu", "T", 100}}},
    {"ReplaceWithoutTitleKeepsTitle",
     ",https://example.org/,erika,neu,\n",
     true,
     0,
     0,
     1,
     {},
     {{"Example.org", "erika", "neu", "Alt", 100}}},
    {"EqualRowsInFileAddOnce",
     ",https://a.example/,u,p,\n,a.example,u,p,\n",
     false,
     1,
     1,
     0,
     {},
     {ERIKA, {"a.example", "u", "p", "", 0}}},
    {"EarlierRowWinsAConflict",
     ",https://a.example/,u,first,\n,https://a.example/,u,second,\n",
     false,
     1,
     0,
     0,
     {{3, "a.example", "u"}},
     {ERIKA, {"a.example", "u", "first", "", 0}}},
    {"LaterRowWinsWithReplace",
     ",https://a.example/,u,first,\n,https://a.example/,u,second,\n,https://a.example/,u,third,\n",
     true,
     1,
     0,
     2,
     {},
     {ERIKA, {"a.example", "u", "third", "", 0}}},
    {"ReplaceStoredTwiceLastWins",
     ",https://example.org/,erika,zwei,\n,https://example.org/,erika,drei,\n",
     true,
     0,
     0,
     2,
     {},
     {{"Example.org", "erika", "drei", "Alt", 100}}},
};

class ImportMerge : public EntriesTest, public testing::WithParamInterface<MergeCase> {
  protected:
    std::vector<Stored> stored_logins() const {
        std::vector<Stored> logins;
        for (std::size_t i = 0; i < state.vault()->entries.size(); ++i) {
            const Entry entry = opened(i);
            // New logins are created at the time of the import; 0 stands for "now" here.
            const std::uint64_t created = entry.created_at == 100 ? 100 : 0;
            logins.push_back({std::string(entry.host.view()), std::string(entry.username.view()),
                              std::string(entry.password.view()), std::string(entry.title.view()),
                              created});
        }
        return logins;
    }
};

TEST_P(ImportMerge, CountsConflictsAndStores) {
    const MergeCase& c = GetParam();
    store("s1", ERIKA.host, ERIKA.username, ERIKA.created_at, ERIKA.password, ERIKA.title);
    const auto summary = import_file(state, base64_of(HEADER + c.rows), c.replace);
    ASSERT_TRUE(summary.has_value()) << summary.error();
    const ImportCounts& counts = summary->counts;
    EXPECT_EQ(counts.added, c.added);
    EXPECT_EQ(counts.unchanged, c.unchanged);
    EXPECT_EQ(counts.replaced, c.replaced);
    std::vector<Conflict> conflicts;
    for (const auto& conflict : counts.conflicts) {
        conflicts.push_back({conflict.line, std::string(conflict.host.view()),
                             std::string(conflict.username.view())});
    }
    EXPECT_EQ(conflicts, c.conflicts);
    EXPECT_EQ(stored_logins(), c.after);
    const bool writes = c.added + c.replaced > 0;
    EXPECT_EQ(std::filesystem::exists(state.path()), writes)
        << "written only when something changed";
}

INSTANTIATE_TEST_SUITE_P(Rows, ImportMerge, testing::ValuesIn(MERGE_CASES), CaseName());

}  // namespace
}  // namespace velkaron
