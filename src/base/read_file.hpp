#pragma once

#include <sys/stat.h>

#include <string>

#include "base/posix.hpp"
#include "base/result.hpp"

namespace velkaron {

// Reading whole files; failures are the system error ("No such file or directory (os error
// 2)").

// Opens `path` for reading. Non-blocking first, so that a FIFO without a writer opens at once
// (and then reads as empty) instead of hanging; blocking again for the reads themselves.
[[nodiscard]] Result<UniqueFd> open_for_reading(const std::string& path);

// Everything left to read from `fd`, in one buffer sized from `info` when it is a regular file.
[[nodiscard]] Result<std::string> read_to_end(int fd, const struct stat& info);

// The whole content of the file at `path`.
[[nodiscard]] Result<std::string> read_whole_file(const std::string& path);

}  // namespace velkaron
