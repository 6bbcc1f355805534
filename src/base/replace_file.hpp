#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "base/posix.hpp"
#include "base/result.hpp"

namespace velkaron {

// The system calls a save makes, gathered so that tests can inject the faults that cannot be
// provoked for real (a failing fchmod or fsync, a write that accepts nothing, a rival saver
// renaming the temporary file between open and lock).
struct FileCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*flock)(int fd, int operation);
    int (*fchmod)(int fd, mode_t mode);
    int (*ftruncate)(int fd, off_t length);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
};

[[nodiscard]] const FileCalls& system_file_calls() noexcept;

// Gives the bytes to write, asked once the temporary file is locked; or the message that stops
// the save before anything is written.
using LockedContents = std::function<Result<std::string>()>;

// Takes an exclusive lock on `temporary`, sets mode 0600, asks `contents` for the bytes, writes
// them, flushes them and renames the file onto `target`. Gives the descriptor of the file now
// at `target`, its lock released (empty if the lock could only be released by closing it). The
// error is the whole German message.
[[nodiscard]] Result<UniqueFd> replace_file(const std::string& target, const std::string& temporary,
                                            const LockedContents& contents,
                                            const FileCalls& calls = system_file_calls());

}  // namespace velkaron
