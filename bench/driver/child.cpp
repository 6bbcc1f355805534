#include "child.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace velkaron::bench {
namespace {

constexpr std::size_t READ_CHUNK = 64 * 1024;

[[noreturn]] void fail_errno(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& args)
    : buffer_(READ_CHUNK) {
    // A child that dies must make our writes fail, not end the driver.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) fail_errno("pipe");
    if (::pipe2(out, O_CLOEXEC) != 0) fail_errno("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> storage{program};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    if (rc != 0) {
        errno = rc;
        fail_errno("cannot start " + program);
    }
}

Child::~Child() {
    if (!finished_) finish();
    ::close(output_);
}

void Child::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(input_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail_errno("write to child");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string_view Child::read_line() {
    for (;;) {
        const char* first = buffer_.data() + start_;
        const auto* newline = static_cast<const char*>(std::memchr(first, '\n', end_ - start_));
        if (newline != nullptr) {
            const std::string_view line(first, static_cast<std::size_t>(newline - first));
            start_ += line.size() + 1;
            return line;
        }
        // Keep the unfinished line at the front and make room for a whole chunk after it.
        std::memmove(buffer_.data(), first, end_ - start_);
        end_ -= start_;
        start_ = 0;
        if (buffer_.size() - end_ < READ_CHUNK) buffer_.resize(end_ + READ_CHUNK);
        const ssize_t n = ::read(output_, buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail_errno("read from child");
        if (n == 0) throw std::runtime_error("child output ended before a full line");
        end_ += static_cast<std::size_t>(n);
    }
}

long Child::peak_rss_kib() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string field;
    while (status >> field) {
        if (field == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    throw std::runtime_error("no VmHWM for process " + std::to_string(pid_));
}

int Child::finish() {
    if (finished_) throw std::logic_error("child already finished");
    finished_ = true;
    ::close(input_);
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0) {
        if (errno != EINTR) fail_errno("waitpid");
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

}  // namespace velkaron::bench
