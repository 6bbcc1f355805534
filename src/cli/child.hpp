#pragma once

// Starting helper programs (the host, the clipboard tools) with pipes for their standard
// streams. Nothing is ever passed through an argument or the environment but what `argv`
// holds, and callers put no secret there.

#include <sys/types.h>

#include <string>
#include <vector>

#include "base/posix.hpp"

namespace velkaron::cli {

struct Child {
    pid_t pid = -1;
    UniqueFd input;   // the child's standard input, when asked for
    UniqueFd output;  // the child's standard output, when asked for
};

enum class Stream { pipe, null, inherit };

// Starts argv[0] (a path) with the given streams; standard error goes to /dev/null unless
// `stderr_stream` is inherit. errno is set when it fails.
[[nodiscard]] bool spawn_child(const std::vector<std::string>& argv, Stream stdin_stream,
                               Stream stdout_stream, Stream stderr_stream, Child& child);

// The child's exit status, or -1 when it was killed by a signal.
int wait_child(pid_t pid) noexcept;

}  // namespace velkaron::cli
