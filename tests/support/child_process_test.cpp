#include "support/child_process.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "support/host_process.hpp"
#include "support/temp_dir.hpp"

namespace velkaron::testing_support {
namespace {

TEST(ChildProcess, GivesLinesOfAnyLengthAndNothingAfterTheLast) {
    ChildProcess echo("cat", {});
    const std::string long_line(3 * READ_CHUNK + 7, 'x');
    // Written from a second thread: more than the pipes hold before anything is read.
    std::thread writer([&] {
        echo.send_raw("a\n\n" + long_line + "\nb");
        echo.close_input();
    });
    EXPECT_EQ(echo.receive(), "a");
    EXPECT_EQ(echo.receive(), "");
    EXPECT_EQ(echo.receive(), long_line);
    EXPECT_EQ(echo.receive(), std::nullopt) << "an unfinished line is no line";
    writer.join();
    EXPECT_EQ(echo.wait(), 0);
    EXPECT_EQ(echo.wait(), 0);
}

TEST(ChildProcess, GivesBytesByCountBetweenLines) {
    ChildProcess echo("cat", {});
    const std::string large(2 * READ_CHUNK + 3, 'z');
    std::thread writer([&] {
        echo.send_raw("ab\n" + large + "cd\nef");
        echo.close_input();
    });
    EXPECT_EQ(echo.receive_exactly(1), "a");
    EXPECT_EQ(echo.receive(), "b");
    EXPECT_EQ(echo.receive_exactly(large.size()), large);
    EXPECT_EQ(echo.receive(), "cd");
    EXPECT_EQ(echo.receive_exactly(3), std::nullopt) << "only two bytes are left";
    writer.join();
}

TEST(ChildProcess, GivesNoLineWhenOutputEndsBeforeOne) {
    HostProcess host({});  // no vault path: usage message on stderr, exit 2
    EXPECT_EQ(host.receive(), std::nullopt);
    EXPECT_THROW((void)host.request(R"({"id":1,"op":"status"})"), std::runtime_error);
    EXPECT_EQ(host.wait(), 2);
}

TEST(ChildProcess, ReportsTheSignalThatEndedIt) {
    ChildProcess sleeper("cat", {});
    sleeper.kill_now();
    EXPECT_EQ(sleeper.wait(), 128 + 9);
}

TEST(ChildProcess, CannotStartAMissingProgram) {
    TempDir dir;
    EXPECT_THROW(ChildProcess(dir.file("fehlt"), {}), std::runtime_error);
    EXPECT_THROW((void)run_to_end(dir.file("fehlt"), {}, ""), std::runtime_error);
}

TEST(RunToEnd, KeepsOutputAndErrorApartAndTakesTheGivenEnvironment) {
    // More input than a pipe holds, echoed back while it is still being written.
    const std::string input(1 << 20, 'y');
    const Finished finished =
        run_to_end("sh", {"-c", "cat; echo \"$ONLY\" >&2; exit 3"}, input, Environment{"ONLY=1"});
    EXPECT_EQ(finished.out, input);
    EXPECT_EQ(finished.err, "1\n");
    EXPECT_EQ(finished.status, 3);
}

TEST(RunOnTerminal, AnswersThePromptOnTheControllingTerminal) {
    // /dev/tty opens only for a process with a controlling terminal; the terminal echoes what
    // is typed and ends lines with a carriage return.
    const TerminalRun run = run_on_terminal(
        "sh", {"-c", "printf 'Name? ' >/dev/tty; read a </dev/tty; echo \"[$a]\"; exit 4"},
        "Name? ", "ada", Environment{});
    EXPECT_EQ(run.shown, "Name? ada\r\n[ada]\r\n");
    EXPECT_EQ(run.status, 4);
}

TEST(LinesOf, SplitsAtLineFeedsAndKeepsAnUnfinishedLast) {
    EXPECT_EQ(lines_of(""), std::vector<std::string>{});
    EXPECT_EQ(lines_of("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(lines_of("a\nb"), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace velkaron::testing_support
