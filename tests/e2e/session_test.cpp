// The request loop through the real binary: command line, framing, exit statuses.

#include <gtest/gtest.h>

#include "support/host_process.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::lines_of;
using testing_support::run_host;
using testing_support::TempDir;
using testing_support::write_file;

constexpr const char* STATUS_MISSING =
    R"({"id":1,"ok":true,"data":{"entries":0,"exists":false,"unlocked":false}})";
constexpr const char* STATUS_REQUEST = R"({"id":1,"op":"status"})";

TEST(Session, WithoutVaultPathPrintsUsageAndExits2) {
    const auto result = run_host({}, "{\"id\":1,\"op\":\"status\"}\n");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Aufruf: velkaron-vault <pfad-zur-tresordatei>\n");
    EXPECT_EQ(result.err.size(), 46U);
}

TEST(Session, VaultPathThatIsNotUtf8IsRefused) {
    const auto result = run_host({"/tmp/\xFF.json"}, std::string(STATUS_REQUEST) + "\n");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Tresorpfad ist kein gültiges UTF-8\n");
}

TEST(Session, ArgumentsAfterThePathAreIgnored) {
    TempDir dir;
    const auto result =
        run_host({dir.file("v.json"), "\xFF", "more"}, std::string(STATUS_REQUEST) + "\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(lines_of(result.out), std::vector<std::string>{STATUS_MISSING});
}

TEST(Session, EmptyInputGivesNoOutputAndExit0) {
    TempDir dir;
    const auto result = run_host({dir.file("v.json")}, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

TEST(Session, BlankLinesAreSkippedAndLineEndingsFramed) {
    TempDir dir;
    const std::string input =
        "\n  \t \n\xC2\xA0\xE3\x80\x80\n"       // blank, including Unicode spaces
        "{\"id\":1,\"op\":\"status\"}\r\n"      // CRLF
        "\r\n"                                  // a lone CR is blank too
        "{\"id\":2,\"op\":\"lock\"}\r\r\n"      // only one CR belongs to the ending
        "\xC2\xA0{\"id\":3,\"op\":\"lock\"}\n"  // U+00A0 before the value: unreadable
        "{\"id\":4,\"op\":\"lock\"}";           // no final line feed
    const auto result = run_host({dir.file("v.json")}, input);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(
        lines_of(result.out),
        (std::vector<std::string>{
            STATUS_MISSING,
            R"({"id":2,"ok":true,"data":{"unlocked":false}})",
            R"({"id":0,"ok":false,"error":"Anfrage unlesbar: syntax error while parsing value - invalid literal at line 1 column 1"})",
            R"({"id":4,"ok":true,"data":{"unlocked":false}})",
        }));
    EXPECT_TRUE(result.out.ends_with("}\n"));
}

TEST(Session, LineThatIsNotUtf8EndsTheLoopWithoutAnswer) {
    TempDir dir;
    const auto result = run_host({dir.file("v.json")},
                                 "{\"id\":1,\"op\":\"status\"}\n"
                                 "{\"id\":2,\"op\":\"st\xC0\x80tus\"}\n"
                                 "{\"id\":3,\"op\":\"status\"}\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(lines_of(result.out), std::vector<std::string>{STATUS_MISSING});
}

TEST(Session, ClientThatStopsReadingEndsTheHostQuietly) {
    TempDir dir;
    HostProcess host({dir.file("v.json")});
    host.close_output();
    for (int i = 0; i < 3; ++i) host.send(STATUS_REQUEST);
    EXPECT_EQ(host.wait(), 0);  // not killed by SIGPIPE
}

TEST(Session, StatusSeesAnExistingPathWithoutReadingIt) {
    TempDir dir;
    write_file(dir.file("v.json"), "not a vault");
    HostProcess host({dir.file("v.json")});
    EXPECT_EQ(host.request(STATUS_REQUEST),
              R"({"id":1,"ok":true,"data":{"entries":0,"exists":true,"unlocked":false}})");
    HostProcess on_directory({dir.path().string()});
    EXPECT_EQ(on_directory.request(STATUS_REQUEST),
              R"({"id":1,"ok":true,"data":{"entries":0,"exists":true,"unlocked":false}})");
}

TEST(Session, ResponsesArriveOneByOneInRequestOrder) {
    TempDir dir;
    HostProcess host({dir.file("v.json")});
    for (int i = 1; i <= 50; ++i) {
        EXPECT_EQ(host.request(R"({"op":"lock","id":)" + std::to_string(i) + "}"),
                  R"({"id":)" + std::to_string(i) + R"(,"ok":true,"data":{"unlocked":false}})");
    }
    EXPECT_EQ(host.wait(), 0);
}

TEST(Session, LinesOverTheLimitAreDroppedButStillChecked) {
    TempDir dir;
    constexpr std::size_t LIMIT = 64 * 1024 * 1024;
    std::string input = std::string(LIMIT + 1, ' ') + "\n";  // blank: no answer
    input += "[1,\"status\"" + std::string(LIMIT, ' ') + "]\n";
    input += std::string(STATUS_REQUEST) + "\n";
    input += std::string(LIMIT + 10, 'a') + "\xE2\x82\n";  // not UTF-8: the loop ends here
    input += std::string(STATUS_REQUEST) + "\n";
    const auto result = run_host({dir.file("v.json")}, input);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(
        lines_of(result.out),
        (std::vector<std::string>{
            R"({"id":0,"ok":false,"error":"Anfrage unlesbar: line too long at line 1 column 67108865"})",
            STATUS_MISSING,
        }));
}

}  // namespace
}  // namespace velkaron
