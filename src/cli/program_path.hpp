#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkaron::cli {

// The first executable file called `name` in the folders of $PATH.
[[nodiscard]] std::optional<std::string> find_in_path(std::string_view name);

// This program's own executable, as the kernel knows it.
[[nodiscard]] std::string own_executable();

}  // namespace velkaron::cli
