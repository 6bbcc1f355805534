#include "protocol/line_reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace velkaron {
namespace {

TEST(LineReader, StripsOneLineFeedAndACarriageReturnOnlyBeforeIt) {
    EXPECT_EQ(strip_line_ending("a\n"), "a");
    EXPECT_EQ(strip_line_ending("a\r\n"), "a");
    EXPECT_EQ(strip_line_ending("a\r\r\n"), "a\r");
    EXPECT_EQ(strip_line_ending("a\r"), "a\r");
    EXPECT_EQ(strip_line_ending("a"), "a");
    EXPECT_EQ(strip_line_ending("\n"), "");
}

// What the buffer passes over is wiped in place; what it keeps stays readable across a fill that
// moves it to the front.
TEST(ReadBuffer, WipesWhatItPassesOverAndKeepsTheRest) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "secret\nrest", 11), 11);
    ReadBuffer buffer(fds[0]);
    ASSERT_EQ(buffer.fill(64), 11);
    const std::string_view line = buffer.unread().substr(0, 7);
    buffer.pass_over(7);
    EXPECT_EQ(line, std::string(7, '\0'));
    EXPECT_EQ(buffer.unread(), "rest");

    ASSERT_EQ(::write(fds[1], "+more", 5), 5);
    ::close(fds[1]);
    ASSERT_EQ(buffer.fill(2), 2);
    EXPECT_EQ(buffer.unread(), "rest+m");
    ASSERT_EQ(buffer.fill(64), 3);
    ASSERT_EQ(buffer.fill(64), 0);
    EXPECT_EQ(buffer.unread(), "rest+more");
    ::close(fds[0]);
}

}  // namespace
}  // namespace velkaron
