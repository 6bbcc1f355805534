#include "entries/entry.hpp"
#include "support/case_name.hpp"
#include "support/print_entry.hpp"

#include <gtest/gtest.h>

#include <random>

namespace velkaron {
namespace {

Entry make_entry(std::string host, std::string username, std::string password, std::string title,
                 std::uint64_t created_at, std::uint64_t updated_at) {
    Entry e;
    e.host = std::move(host);
    e.username = std::move(username);
    e.password = std::move(password);
    e.title = std::move(title);
    e.created_at = created_at;
    e.updated_at = updated_at;
    return e;
}

TEST(EntryWrite, IsCompactInDeclaredOrderWithTheVaultFileEscaping) {
    const Entry entry =
        make_entry("a\"b\\c/d", "\b\t\n\f\r", "\x01\x1f\x7f", "Grüße €", 0, 18446744073709551615u);
    const auto text = write_entry(entry);
    ASSERT_TRUE(text) << text.error();
    EXPECT_EQ(text->view(),
              "{\"host\":\"a\\\"b\\\\c/d\",\"username\":\"\\b\\t\\n\\f\\r\","
              "\"password\":\"\\u0001\\u001f\x7f\",\"title\":\"Grüße €\","
              "\"created_at\":0,\"updated_at\":18446744073709551615}");
}

TEST(EntryWrite, TextThatIsNotUtf8CannotBeWritten) {
    const auto text = write_entry(make_entry("h", "u", "p\xff", "", 1, 2));
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error(), "a string is not valid UTF-8");
}

TEST(EntryWrite, ReadsBackWhatItWrote) {
    std::mt19937_64 random(7);
    // Control characters, quotes, backslashes and multi-byte letters in every member.
    const std::vector<std::string> pieces{"a",    "Z", "\"", "\\", "\n", "\x01", "\x1f",
                                          "\x7f", "/", "ä",  "€",  "😀",  " ",    ""};
    auto text = [&] {
        std::string s;
        for (auto n = random() % 12; n > 0; --n) s += pieces[random() % pieces.size()];
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        const Entry original = make_entry(text(), text(), text(), text(), random(), random());
        const auto written = write_entry(original);
        ASSERT_TRUE(written) << written.error();
        const auto read = read_entry(written->view());
        ASSERT_TRUE(read) << read.error();
        EXPECT_EQ(*read, original);
    }
}

TEST(EntryRead, AcceptsAnyMemberOrderUnknownMembersAndAMissingTitle) {
    const auto entry = read_entry(
        R"({"updated_at":9,"extra":{"nested":[1,{"x":null}]},"password":"p","created_at":8,)"
        R"("username":"","host":"example.org"})");
    ASSERT_TRUE(entry) << entry.error();
    EXPECT_EQ(*entry, make_entry("example.org", "", "p", "", 8, 9));
}

struct CorruptCase {
    const char* name;
    const char* plaintext;
    const char* fault;
};

class EntryReadFault : public testing::TestWithParam<CorruptCase> {};

TEST_P(EntryReadFault, NamesTheFirstFault) {
    const auto entry = read_entry(GetParam().plaintext);
    ASSERT_FALSE(entry) << GetParam().plaintext;
    EXPECT_EQ(entry.error(), GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    Schema, EntryReadFault,
    testing::Values(
        CorruptCase{
            "TitleNull",
            R"({"host":"h","username":"u","password":"p","title":null,"created_at":1,"updated_at":2})",
            "invalid type: null, expected a string at line 1 column 54"},
        CorruptCase{
            "DuplicateHost",
            R"({"host":"h","host":"h","username":"u","password":"p","created_at":1,"updated_at":2})",
            "duplicate field `host` at line 1 column 18"},
        CorruptCase{"HostMissing", R"({"username":"u","created_at":1,"updated_at":2})",
                    "missing field `host` at line 1 column 46"},
        CorruptCase{"UpdatedAtMissing",
                    R"({"host":"h","username":"u","password":"p","created_at":1})",
                    "missing field `updated_at` at line 1 column 57"},
        CorruptCase{"NegativeTime",
                    R"({"host":"h","username":"u","password":"p","created_at":-1,"updated_at":2})",
                    "invalid value: integer `-1`, expected u64 at line 1 column 57"},
        CorruptCase{"TimeWithFraction",
                    R"({"host":"h","username":"u","password":"p","created_at":1.5,"updated_at":2})",
                    "invalid type: floating point `1.5`, expected u64 at line 1 column 58"},
        CorruptCase{
            "TimeOfTwoToThe64",
            R"({"host":"h","username":"u","password":"p","created_at":18446744073709551616,"updated_at":2})",
            "invalid type: floating point `1.8446744073709552e19`, expected u64 at line 1 column "
            "75"},
        CorruptCase{"UserNameAsNumber",
                    R"({"host":"h","username":7,"password":"p","created_at":1,"updated_at":2})",
                    "invalid type: integer `7`, expected a string at line 1 column 24"},
        CorruptCase{"ArrayForm", R"(["h","u","p","t",1,2])",
                    "invalid type: sequence, expected struct Entry at line 1 column 0"},
        CorruptCase{"Number", "7",
                    "invalid type: integer `7`, expected struct Entry at line 1 column 1"}),
    testing_support::CaseName{});

TEST(EntryRead, TextThatIsNotJsonIsASyntaxFault) {
    for (const char* text : {"", R"({"host":"h",)", "{\"host\":\"h\xff\"}", "{} {}"}) {
        const auto entry = read_entry(text);
        ASSERT_FALSE(entry) << text;
        EXPECT_NE(entry.error().find(" at line 1 column "), std::string::npos) << entry.error();
    }
}

}  // namespace
}  // namespace velkaron
