#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/posix.hpp"

namespace velkaron::testing_support {

// The environment of a child: "NAME=value" strings.
using Environment = std::vector<std::string>;

// A program started with pipes on its standard input and output, spoken to as a client speaks
// to the host: lines out, lines back, every read blocking. Its standard error is ours. The
// end-to-end tests and the load driver both drive the host through it.
class ChildProcess {
  public:
    // `program` is looked up on the PATH when it holds no slash; `args` follow its name;
    // `environment` replaces ours when given. Throws when it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::optional<Environment>& environment = std::nullopt);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Exactly these bytes. A child that has gone away shows itself at the next receive().
    void send_raw(std::string_view bytes);
    // The line and a line feed.
    void send(std::string_view line);
    // The next output line without its line feed; empty at the end of the output.
    [[nodiscard]] std::optional<std::string> receive();
    // The next `size` bytes of output, for output that is not lines; empty when the output
    // ends first.
    [[nodiscard]] std::optional<std::string> receive_exactly(std::size_t size);
    // send + receive; throws when no line comes.
    [[nodiscard]] std::string request(std::string_view line);

    void close_input();
    void close_output();  // the client stops reading
    // Closes the child's input, waits for it and gives its exit status (128 + the signal when
    // one ended it); later calls give the same status.
    int wait();
    void kill_now();  // SIGKILL
    [[nodiscard]] pid_t pid() const { return pid_; }

  private:
    // Reads once more into the buffer; false at the end of the output.
    bool read_more();

    pid_t pid_ = -1;
    UniqueFd input_;   // our end of the child's standard input
    UniqueFd output_;  // our end of the child's standard output
    std::vector<char> buffer_;
    std::size_t start_ = 0;  // first unread byte of buffer_
    std::size_t end_ = 0;    // one past the last byte read into buffer_
    std::optional<int> status_;
};

// What a program run to its end wrote and how it ended.
struct Finished {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs `program` with `input` on its standard input, reading its output and error while the
// input is written, so any size works. `environment` replaces ours when given.
[[nodiscard]] Finished run_to_end(const std::string& program, const std::vector<std::string>& args,
                                  std::string_view input,
                                  const std::optional<Environment>& environment = std::nullopt);

// What a program run on a terminal showed and how it ended.
struct TerminalRun {
    std::string shown;  // its output and error alike
    int status = -1;    // 128 + the signal when one ended it
};

// Runs `program` on a new pseudo-terminal, its standard streams and its controlling terminal,
// as from a user's shell, and types `reply` and Return once the terminal has shown `prompt`.
// `environment` replaces ours when given.
[[nodiscard]] TerminalRun run_on_terminal(
    const std::string& program, const std::vector<std::string>& args, std::string_view prompt,
    std::string_view reply, const std::optional<Environment>& environment = std::nullopt);

// The lines of a program's output, without line feeds.
[[nodiscard]] std::vector<std::string> lines_of(const std::string& text);

}  // namespace velkaron::testing_support
