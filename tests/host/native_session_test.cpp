// The native-message loop in this process: every bad-message case, messages that arrive in
// pieces, and a client that stops reading.

#include "host/native_session.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/posix.hpp"
#include "protocol/native_message.hpp"
#include "support/case_name.hpp"
#include "support/keys_fixture.hpp"
#include "support/native_messages.hpp"
#include "vault/storage.hpp"

namespace velkaron {
namespace {

using testing_support::length_prefix;
using testing_support::messages;
using testing_support::responses_of;

constexpr std::string_view STATUS = R"({"id":9,"op":"status"})";
constexpr std::string_view STATUS_ANSWER =
    R"({"id":9,"ok":true,"data":{"entries":0,"exists":false,"unlocked":false}})";

int memory_file(std::string_view content) {
    const int fd = ::memfd_create("frames", MFD_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write_all(fd, content), 0);
    EXPECT_EQ(::lseek(fd, 0, SEEK_SET), 0);
    return fd;
}

std::string contents(int fd) {
    std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    return text;
}

// Runs the loop on `input` against `state`; gives what it wrote.
std::string serve_on(HostState& state, std::string_view input) {
    const int in = memory_file(input);
    const int out = memory_file({});
    serve_frames(state, in, out);
    std::string written = contents(out);
    ::close(in);
    ::close(out);
    return written;
}

std::string unreadable_answer(std::string_view fault) {
    return R"({"id":0,"ok":false,"error":"Anfrage unlesbar: )" + std::string(fault) + "\"}";
}

// A status request padded with an unknown member to exactly `size` bytes.
std::string status_of_size(std::size_t size) {
    const std::string head = R"({"id":5,"op":"status","padding":")";
    return head + std::string(size - head.size() - 2, 'p') + "\"}";
}

struct FrameCase {
    const char* name;
    std::function<std::string()> input;  // made when the case runs: some are large
    std::vector<std::string> responses;
};

class BadMessages : public testing::TestWithParam<FrameCase> {};

// Every case is followed by a status request: answered when the session goes on.
TEST_P(BadMessages, AreAnsweredOnceAndEndTheSessionOnlyWhenTheBoundaryIsLost) {
    testing_support::TempDir dir;
    HostState state(dir.file("tresor.json"));
    const std::string output = serve_on(state, GetParam().input() + messages({STATUS}));
    EXPECT_EQ(responses_of(output), GetParam().responses);
}

const std::string STATUS_STR(STATUS_ANSWER);

INSTANTIATE_TEST_SUITE_P(
    Frames, BadMessages,
    testing::Values(
        FrameCase{"NothingBefore", [] { return std::string(); }, {STATUS_STR}},
        FrameCase{"ZeroLength",
                  [] { return messages({""}); },
                  {unreadable_answer("leere Nachricht"), STATUS_STR}},
        FrameCase{"NotUtf8",
                  [] { return messages({"{\"id\":1,\"op\":\"st\xC0\x80tus\"}"}); },
                  {unreadable_answer("Nachricht ist kein gültiges UTF-8"), STATUS_STR}},
        FrameCase{"CutCharacter",
                  [] { return messages({"{\"id\":1,\"op\":\"\xE2\x82"}); },
                  {unreadable_answer("Nachricht ist kein gültiges UTF-8"), STATUS_STR}},
        FrameCase{"NotJson",
                  [] { return messages({"status"}); },
                  {unreadable_answer("syntax error while parsing value - invalid literal at "
                                     "line 1 column 1"),
                   STATUS_STR}},
        FrameCase{"OnlyWhitespace",
                  [] { return messages({" \n"}); },
                  {unreadable_answer("syntax error while parsing value - unexpected end of "
                                     "input; expected '[', '{', or a literal at line 2 column 0"),
                   STATUS_STR}},
        FrameCase{"TwoRequestsInOne",
                  [] { return messages({R"({"id":1,"op":"lock"}{"id":2,"op":"lock"})"}); },
                  {unreadable_answer("trailing characters at line 1 column 21"), STATUS_STR}},
        FrameCase{"IdOfAnUnreadableRequestIsNotEchoed",
                  [] { return messages({R"({"id":4,"op":1})"}); },
                  {unreadable_answer("invalid type: integer `1`, expected a string at line 1 "
                                     "column 14"),
                   STATUS_STR}},
        FrameCase{"LineFeedsAreJustWhitespace",
                  [] { return messages({"{\"id\":3,\n\"op\":\"lock\"}\n"}); },
                  {R"({"id":3,"ok":true,"data":{"unlocked":false}})", STATUS_STR}},
        FrameCase{"AtTheLengthLimit",
                  [] { return messages({status_of_size(MAX_REQUEST_MESSAGE)}); },
                  {R"({"id":5,"ok":true,"data":{"entries":0,"exists":false,"unlocked":false}})",
                   STATUS_STR}},
        FrameCase{"OverTheLengthLimit",
                  [] { return length_prefix(MAX_REQUEST_MESSAGE + 1) + "{}"; },
                  {unreadable_answer("Nachricht länger als 64 MiB")}},
        FrameCase{"LargestLength",
                  [] { return length_prefix(0xFFFFFFFF); },
                  {unreadable_answer("Nachricht länger als 64 MiB")}},
        FrameCase{"EndInsideTheLengthPrefix",
                  [] { return messages({STATUS}) + "\x10\x00"; },
                  {STATUS_STR}},
        FrameCase{"EndInsideTheMessage",
                  [] { return messages({STATUS}) + length_prefix(100) + R"({"id":)"; },
                  {STATUS_STR}}),
    testing_support::CaseName());

TEST(NativeSession, MessagesArrivingInPiecesAreFramedAlike) {
    // One byte per write: every read ends inside a prefix or a message, and the large one
    // outgrows the read buffer.
    testing_support::TempDir dir;
    HostState state(dir.file("tresor.json"));
    const std::string large = status_of_size(3 * READ_CHUNK + 7);
    const std::string input = messages({STATUS, "", large, STATUS});
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    std::thread writer([&] {
        for (const char byte : input) ASSERT_EQ(::write(pipe_fds[1], &byte, 1), 1);
        ::close(pipe_fds[1]);
    });
    const int out = memory_file({});
    serve_frames(state, pipe_fds[0], out);
    writer.join();
    ::close(pipe_fds[0]);
    EXPECT_EQ(responses_of(contents(out)),
              (std::vector<std::string>{
                  STATUS_STR, unreadable_answer("leere Nachricht"),
                  R"({"id":5,"ok":true,"data":{"entries":0,"exists":false,"unlocked":false}})",
                  STATUS_STR}));
    ::close(out);
}

using NativeSessionVault = testing_support::KeysTest;

TEST_F(NativeSessionVault, ClientThatStopsReadingEndsTheLoop) {
    // A browser that closed the port: the first failed write ends the session, so the put
    // after the create never runs.
    std::signal(SIGPIPE, SIG_IGN);
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    ::close(pipe_fds[0]);
    const int in =
        memory_file(messages({R"({"id":1,"op":"create","password":"richtig-langes-passwort"})",
                              R"({"id":2,"op":"put","host":"example.org","password":"pw"})"}));
    serve_frames(state, in, pipe_fds[1]);
    ::close(in);
    ::close(pipe_fds[1]);
    const auto vault = load_vault(state.path());
    ASSERT_TRUE(vault.has_value()) << vault.error();
    EXPECT_TRUE(vault->vault.entries.empty());
}

}  // namespace
}  // namespace velkaron
