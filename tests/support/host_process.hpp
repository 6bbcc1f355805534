#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron::testing_support {

// The real velkaron-vault binary, spoken to through pipes as a client does.
class HostProcess {
  public:
    // Arguments after the program name; usually just the vault path.
    explicit HostProcess(const std::vector<std::string>& args);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    void send(std::string_view line);       // the line and a line feed
    void send_raw(std::string_view bytes);  // exactly these bytes
    // The next response line without its line feed; empty optional at end of output.
    [[nodiscard]] std::optional<std::string> receive();
    // send + receive; fails the test when no line comes.
    [[nodiscard]] std::string request(std::string_view line);
    void close_input();
    void close_output();  // the client stops reading
    // Closes standard input, waits and gives the exit status (128 + signal when killed).
    int wait();
    void kill_now();  // SIGKILL
    [[nodiscard]] pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int in_ = -1;   // our end of the host's standard input
    int out_ = -1;  // our end of the host's standard output
    std::string pending_;
    std::optional<int> status_;
};

struct Transcript {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs the binary on `input` to the end; reads and writes concurrently, so any size works.
[[nodiscard]] Transcript run_host(const std::vector<std::string>& args, std::string_view input);

// The lines of a transcript's output, without line feeds.
[[nodiscard]] std::vector<std::string> lines_of(const std::string& text);

}  // namespace velkaron::testing_support
