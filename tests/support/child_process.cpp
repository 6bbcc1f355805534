#include "support/child_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace velkaron::testing_support {
namespace {

[[noreturn]] void fail(const std::string& what, int error) {
    throw std::runtime_error(what + ": " + std::strerror(error));
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

Pipe make_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe", errno);
    return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Our side of a new pseudo-terminal and the name the child opens its side by.
struct Terminal {
    UniqueFd ours;
    std::string name;
};

Terminal make_terminal() {
    Terminal terminal{UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)), {}};
    if (!terminal.ours) fail("posix_openpt", errno);
    if (::grantpt(terminal.ours.get()) != 0 || ::unlockpt(terminal.ours.get()) != 0) {
        fail("pseudo-terminal", errno);
    }
    char name[64];
    if (const int rc = ::ptsname_r(terminal.ours.get(), name, sizeof name); rc != 0) {
        fail("ptsname", rc);
    }
    terminal.name = name;
    return terminal;
}

// How a child's standard streams are connected.
enum class Streams {
    Pipes,          // input and output; its standard error is ours
    PipesAndError,  // input, output and error
    Terminal,       // all three on a new pseudo-terminal, which is its controlling terminal
};

// The child's ends are dup2'ed onto its standard streams; ours stay close-on-exec.
struct Spawned {
    pid_t pid = -1;
    UniqueFd input;
    UniqueFd output;
    UniqueFd error;     // only with Streams::PipesAndError
    UniqueFd terminal;  // only with Streams::Terminal
};

Spawned spawn(const std::string& program, const std::vector<std::string>& args, Streams streams,
              const std::optional<Environment>& environment) {
    // Writing to a child that has gone away must fail, not end this process.
    ::signal(SIGPIPE, SIG_IGN);
    Pipe in;
    Pipe out;
    Pipe err;
    Terminal terminal;
    if (streams == Streams::Terminal) {
        terminal = make_terminal();
    } else {
        in = make_pipe();
        out = make_pipe();
        if (streams == Streams::PipesAndError) err = make_pipe();
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (streams == Streams::Terminal) {
        // Opened by the child after it has started its session, so that the terminal becomes
        // its controlling terminal, which a password prompt opens.
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, terminal.name.c_str(), O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_adddup2(&actions, in.read.get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
        if (err.write) posix_spawn_file_actions_adddup2(&actions, err.write.get(), STDERR_FILENO);
    }

    std::vector<std::string> argv_storage{program};
    argv_storage.insert(argv_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argv_storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    Environment env_storage = environment.value_or(Environment{});
    std::vector<char*> envp;
    for (auto& entry : env_storage) envp.push_back(entry.data());
    envp.push_back(nullptr);

    // A session of its own: no child can reach the terminal of whoever runs the tests (a
    // client asking for a password there would wait for good).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    Spawned spawned;
    const int rc = ::posix_spawnp(&spawned.pid, program.c_str(), &actions, &attributes, argv.data(),
                                  environment ? envp.data() : environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) fail("cannot start " + program, rc);
    spawned.input = std::move(in.write);
    spawned.output = std::move(out.read);
    spawned.error = std::move(err.read);
    spawned.terminal = std::move(terminal.ours);
    return spawned;
}

int wait_for(pid_t pid) {
    int raw = 0;
    if (retry_on_eintr(::waitpid, pid, &raw, 0) < 0) fail("waitpid", errno);
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

std::string read_to_end(int fd) {
    std::string text;
    char chunk[READ_CHUNK];
    for (;;) {
        const ssize_t n = read_some(fd, chunk, sizeof chunk);
        if (n <= 0) return text;
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::optional<Environment>& environment)
    : buffer_(READ_CHUNK) {
    Spawned spawned = spawn(program, args, Streams::Pipes, environment);
    pid_ = spawned.pid;
    input_ = std::move(spawned.input);
    output_ = std::move(spawned.output);
}

ChildProcess::~ChildProcess() {
    if (!status_) {
        close_input();
        int raw = 0;
        retry_on_eintr(::waitpid, pid_, &raw, 0);
    }
}

void ChildProcess::send_raw(std::string_view bytes) {
    if (input_) (void)write_all(input_.get(), bytes);
}

void ChildProcess::send(std::string_view line) {
    std::string framed(line);
    framed += '\n';
    send_raw(framed);
}

std::optional<std::string> ChildProcess::receive() {
    for (;;) {
        const char* first = buffer_.data() + start_;
        const auto* newline = static_cast<const char*>(std::memchr(first, '\n', end_ - start_));
        if (newline != nullptr) {
            std::string line(first, static_cast<std::size_t>(newline - first));
            start_ += line.size() + 1;
            return line;
        }
        if (!read_more()) return std::nullopt;
    }
}

std::optional<std::string> ChildProcess::receive_exactly(std::size_t size) {
    while (end_ - start_ < size) {
        if (!read_more()) return std::nullopt;
    }
    std::string bytes(buffer_.data() + start_, size);
    start_ += size;
    return bytes;
}

bool ChildProcess::read_more() {
    if (!output_) return false;
    // Keep the unread bytes at the front and make room for a whole chunk after them, so that
    // many short responses cost no copying and a long one grows the buffer only once.
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
    if (buffer_.size() - end_ < READ_CHUNK) buffer_.resize(end_ + READ_CHUNK);
    const ssize_t n = read_some(output_.get(), buffer_.data() + end_, buffer_.size() - end_);
    if (n <= 0) return false;
    end_ += static_cast<std::size_t>(n);
    return true;
}

std::string ChildProcess::request(std::string_view line) {
    send(line);
    auto response = receive();
    if (!response) throw std::runtime_error("no response to " + std::string(line));
    return std::move(*response);
}

void ChildProcess::close_input() {
    input_.reset();
}

void ChildProcess::close_output() {
    output_.reset();
}

int ChildProcess::wait() {
    close_input();
    if (!status_) status_ = wait_for(pid_);
    return *status_;
}

void ChildProcess::kill_now() {
    ::kill(pid_, SIGKILL);
}

Finished run_to_end(const std::string& program, const std::vector<std::string>& args,
                    std::string_view input, const std::optional<Environment>& environment) {
    Spawned spawned = spawn(program, args, Streams::PipesAndError, environment);
    std::thread writer([&spawned, input] {
        (void)write_all(spawned.input.get(), input);
        spawned.input.reset();
    });
    Finished finished;
    std::thread error_reader([&] { finished.err = read_to_end(spawned.error.get()); });
    finished.out = read_to_end(spawned.output.get());
    writer.join();
    error_reader.join();
    finished.status = wait_for(spawned.pid);
    return finished;
}

TerminalRun run_on_terminal(const std::string& program, const std::vector<std::string>& args,
                            std::string_view prompt, std::string_view reply,
                            const std::optional<Environment>& environment) {
    Spawned spawned = spawn(program, args, Streams::Terminal, environment);
    TerminalRun run;
    bool replied = false;
    char chunk[READ_CHUNK];
    // Reading fails with EIO once the program and every child it started have closed the
    // terminal.
    for (ssize_t n; (n = read_some(spawned.terminal.get(), chunk, sizeof chunk)) > 0;) {
        run.shown.append(chunk, static_cast<std::size_t>(n));
        if (!replied && run.shown.find(prompt) != std::string::npos) {
            // Return on a terminal is a carriage return; the terminal makes it a line feed.
            (void)write_all(spawned.terminal.get(), std::string(reply) + "\r");
            replied = true;
        }
    }
    spawned.terminal.reset();
    run.status = wait_for(spawned.pid);
    return run;
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
