#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

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

// Writes `bytes` to `temporary` under an exclusive lock, mode 0600 before the first byte,
// flushes it and renames it onto `target`; the error is the whole German message.
[[nodiscard]] Status replace_file(const std::string& target, const std::string& temporary,
                                  std::string_view bytes,
                                  const FileCalls& calls = system_file_calls());

}  // namespace velkaron
