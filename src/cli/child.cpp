#include "cli/child.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace velkaron::cli {
namespace {

// Adds to `actions` what makes `target` the given stream; a pipe's other end goes to `ours`.
bool arrange(Stream stream, int target, bool child_reads, posix_spawn_file_actions_t& actions,
             UniqueFd& ours, UniqueFd& theirs) {
    switch (stream) {
        case Stream::inherit:
            return true;
        case Stream::null:
            return posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                                    child_reads ? O_RDONLY : O_WRONLY, 0) == 0;
        case Stream::pipe: {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0) return false;
            theirs = UniqueFd(child_reads ? ends[0] : ends[1]);
            ours = UniqueFd(child_reads ? ends[1] : ends[0]);
            return posix_spawn_file_actions_adddup2(&actions, theirs.get(), target) == 0;
        }
    }
    return false;
}

}  // namespace

bool spawn_child(const std::vector<std::string>& argv, Stream stdin_stream, Stream stdout_stream,
                 Stream stderr_stream, Child& child) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    UniqueFd their_input;
    UniqueFd their_output;
    UniqueFd unused;
    const bool arranged =
        arrange(stdin_stream, STDIN_FILENO, true, actions, child.input, their_input) &&
        arrange(stdout_stream, STDOUT_FILENO, false, actions, child.output, their_output) &&
        arrange(stderr_stream == Stream::pipe ? Stream::null : stderr_stream, STDERR_FILENO, false,
                actions, unused, unused);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int error = arranged ? posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ)
                         : errno;
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        errno = error;
        child.input.reset();
        child.output.reset();
        return false;
    }
    return true;
}

int wait_child(pid_t pid) noexcept {
    int status = 0;
    if (retry_on_eintr(::waitpid, pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace velkaron::cli
