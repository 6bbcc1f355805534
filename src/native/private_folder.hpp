#pragma once

#include <string>

#include "base/result.hpp"

namespace velkaron {

// Creates the folder at the absolute `path` and every missing folder above it with mode 0700,
// as the XDG base-directory rules ask for; folders already there are left as they are. Fails
// with "Ordner nicht anlegbar: <folder>: <system error>".
[[nodiscard]] Status make_private_folder(const std::string& path);

}  // namespace velkaron
