#include "entries/entry_scan.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/print_entry.hpp"

namespace velkaron {
namespace {

// One Entry serves every round, as in a walk over a vault: nothing of a longer text before may
// show in a shorter one after.
TEST(EntryScan, TakesWhatTheWriterWritesAsTheReaderReadsIt) {
    std::mt19937_64 random(11);
    const std::vector<std::string> pieces{"a",  "Z",    "\"",   "\\",   "\b", "\t", "\n", "\f",
                                          "\r", "\x01", "\x1f", "\x7f", "/",  "ä",  "😀",  ""};
    auto text = [&] {
        std::string s;
        for (auto n = random() % 24; n > 0; --n) s += pieces[random() % pieces.size()];
        return s;
    };
    Entry scanned;
    for (int round = 0; round < 300; ++round) {
        Entry original;
        original.host = text();
        original.username = text();
        original.password = text();
        original.title = text();
        original.created_at = round % 3 == 0 ? 0 : random();
        original.updated_at = round % 5 == 0 ? UINT64_MAX : random() >> (random() % 64);
        const auto written = write_entry(original);
        ASSERT_TRUE(written) << written.error();
        ASSERT_TRUE(scan_entry(written->view(), scanned)) << written->view();
        EXPECT_EQ(scanned, original) << written->view();
    }
}

constexpr std::string_view WRITTEN =
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})";

// Each differs from what the writer would write for its entry, mostly by a hair; all go to
// read_entry, whose verdict read_entry_into must then give unchanged.
const char* const NOT_AS_WRITTEN[] = {
    R"({"username":"u","host":"h","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","created_at":10,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":10,"updated_at":20,"x":1})",
    R"({"host": "h","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":10,"updated_at":20} )",
    R"( {"host":"h","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    "\xEF\xBB\xBF{\"host\":\"h\",\"username\":\"u\",\"password\":\"p\",\"title\":\"t\","
    "\"created_at\":10,\"updated_at\":20}",
    R"({"host":"h","host":"h","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\/","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\u0041","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\u001F","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\u000a","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\u007f","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\ud83d\ude00","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    R"({"host":"\x","username":"u","password":"p","title":"t","created_at":10,"updated_at":20})",
    "{\"host\":\"\t\",\"username\":\"u\",\"password\":\"p\",\"title\":\"t\",\"created_at\":10,"
    "\"updated_at\":20}",
    "{\"host\":\"\xC3\",\"username\":\"u\",\"password\":\"p\",\"title\":\"t\",\"created_at\":10,"
    "\"updated_at\":20}",
    "{\"host\":\"\xED\xA0\x80\",\"username\":\"u\",\"password\":\"p\",\"title\":\"t\","
    "\"created_at\":10,\"updated_at\":20}",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":010,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":-0,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":+1,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":1e1,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":10.0,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":10,"updated_at":18446744073709551616})",
    R"({"host":"h","username":"u","password":"p","title":null,"created_at":10,"updated_at":20})",
    R"({"host":"h","username":"u","password":"p","title":"t","created_at":"10","updated_at":20})",
};

TEST(EntryScan, LeavesEveryOtherFormToTheReader) {
    for (const std::string_view text : NOT_AS_WRITTEN) {
        Entry scanned;
        EXPECT_FALSE(scan_entry(text, scanned)) << text;
        Entry entry;
        const auto read = read_entry_into(text, entry);
        const auto judged = read_entry(text);
        ASSERT_EQ(read.has_value(), judged.has_value()) << text;
        if (judged) {
            EXPECT_EQ(entry, *judged) << text;
        } else {
            EXPECT_EQ(read.error(), judged.error()) << text;
        }
    }
}

TEST(EntryScan, RefusesEveryCutOfAWrittenEntry) {
    Entry scanned;
    ASSERT_TRUE(scan_entry(WRITTEN, scanned));
    for (std::size_t size = 0; size < WRITTEN.size(); ++size) {
        EXPECT_FALSE(scan_entry(WRITTEN.substr(0, size), scanned)) << size;
    }
}

}  // namespace
}  // namespace velkaron
