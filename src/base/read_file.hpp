#pragma once

#include <string>

#include "base/result.hpp"

namespace velkaron {

// The whole content of the file at `path`, read in one buffer; fails with the system error
// ("No such file or directory (os error 2)"). A FIFO without a writer reads as empty.
[[nodiscard]] Result<std::string> read_whole_file(const std::string& path);

}  // namespace velkaron
