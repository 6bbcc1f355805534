#include "measure.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol/request.hpp"
#include "support/temp_dir.hpp"

namespace velkaron::bench {
namespace {

TEST(ResponseOk, AcceptsOnlySuccessWithItsId) {
    EXPECT_TRUE(response_ok(R"({"id":0,"ok":true,"data":{}})"));
    EXPECT_TRUE(response_ok(R"({"id":18446744073709551615,"ok":true,"data":[]})"));
    EXPECT_FALSE(response_ok(R"({"id":3,"ok":false,"error":"Tresor ist gesperrt"})"));
    EXPECT_FALSE(response_ok(R"({"id":,"ok":true,"data":{}})"));
    EXPECT_FALSE(response_ok(R"({"id":1})"));
    EXPECT_FALSE(response_ok(R"({"ok":true,"id":1,"data":{}})"));
    EXPECT_FALSE(response_ok(""));
}

TEST(NumberedRequests, EveryLineIsARequestWithItsId) {
    const std::string lines = numbered_requests("status", 3);
    std::size_t start = 0;
    for (std::uint64_t id = 1; id <= 3; ++id) {
        const std::size_t end = lines.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const auto request = parse_request(std::string_view(lines).substr(start, end - start));
        ASSERT_TRUE(request) << request.error();
        EXPECT_EQ(request->id, id);
        EXPECT_EQ(request->op, "status");
        start = end + 1;
    }
    EXPECT_EQ(start, lines.size());
}

class AgainstHost : public ::testing::Test {
  protected:
    testing_support::TempDir dir;
    ChildProcess host{VELKARON_BINARY, {dir.file("vault.json")}};
};

// Far more input than a pipe holds: written from the same thread it would block for good.
TEST_F(AgainstHost, PipelinedRequestsDoNotDeadlock) {
    constexpr std::size_t COUNT = 50'000;
    EXPECT_GT(pipelined_rate(host, numbered_requests("status", COUNT), COUNT), 0);
    EXPECT_EQ(host.wait(), 0);
    EXPECT_EQ(host.receive(), std::nullopt) << "a response was left over";
}

TEST_F(AgainstHost, RoundTripsGiveOneSampleEach) {
    EXPECT_EQ(round_trips_us(host, R"({"id":1,"op":"status"})", 5, 20).size(), 20U);
}

TEST_F(AgainstHost, FailedRequestsThrowWithTheResponse) {
    try {
        (void)timed_ms(host, R"({"id":7,"op":"list"})");
        FAIL() << "list without a vault must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("kein Tresor geladen"), std::string::npos);
    }
    EXPECT_THROW((void)pipelined_rate(host, numbered_requests("nonsense", 3), 3),
                 std::runtime_error);
}

TEST_F(AgainstHost, PeakMemoryIsReadAndExitIsClean) {
    EXPECT_GT(peak_rss_kib(host.pid()), 0);
    EXPECT_EQ(host.wait(), 0);
}

}  // namespace
}  // namespace velkaron::bench
