#pragma once

#include <string>

namespace velkaron {

// "No such file or directory (os error 2)": the one rendering of a system error.
[[nodiscard]] std::string os_error(int error_number);

}  // namespace velkaron
