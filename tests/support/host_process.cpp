#include "support/host_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace velkaron::testing_support {
namespace {

void write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the host went away; the test sees it in the output
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string read_all(int fd) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

int decode_status(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

struct Spawned {
    pid_t pid;
    int in, out, err;
};

Spawned spawn(const std::vector<std::string>& args, bool capture_err) {
    // Writing to a host that has gone away must fail, not kill the test binary.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (capture_err) posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> argv_storage{VELKARON_BINARY};
    argv_storage.insert(argv_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, VELKARON_BINARY, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) throw std::runtime_error("posix_spawn failed");
    return {pid, in[1], out[0], err[0]};
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& args) {
    const Spawned s = spawn(args, false);
    ::close(s.err);
    pid_ = s.pid;
    in_ = s.in;
    out_ = s.out;
}

HostProcess::~HostProcess() {
    if (!status_) {
        close_input();
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
    }
    close_output();
}

void HostProcess::send(std::string_view line) {
    std::string framed(line);
    framed += '\n';
    write_all(in_, framed);
}

void HostProcess::send_raw(std::string_view bytes) {
    write_all(in_, bytes);
}

std::optional<std::string> HostProcess::receive() {
    for (;;) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        if (out_ < 0) return std::nullopt;
        char buffer[65536];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string HostProcess::request(std::string_view line) {
    send(line);
    auto response = receive();
    if (!response) throw std::runtime_error("no response to " + std::string(line));
    return *response;
}

void HostProcess::close_input() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

void HostProcess::close_output() {
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

int HostProcess::wait() {
    close_input();
    if (!status_) {
        int raw = 0;
        while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
        status_ = decode_status(raw);
    }
    return *status_;
}

void HostProcess::kill_now() {
    ::kill(pid_, SIGKILL);
}

Transcript run_host(const std::vector<std::string>& args, std::string_view input) {
    const Spawned s = spawn(args, true);
    std::thread writer([fd = s.in, input] {
        write_all(fd, input);
        ::close(fd);
    });
    Transcript t;
    std::thread err_reader([&t, fd = s.err] { t.err = read_all(fd); });
    t.out = read_all(s.out);
    writer.join();
    err_reader.join();
    ::close(s.out);
    ::close(s.err);
    int raw = 0;
    while (::waitpid(s.pid, &raw, 0) < 0 && errno == EINTR) {
    }
    t.status = decode_status(raw);
    return t;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, newline - start));
        start = newline + 1;
    }
    return lines;
}

}  // namespace velkaron::testing_support
