#pragma once

#include <string_view>

#include "base/utf8.hpp"

namespace velkaron {

// The line without its ending: one line feed, and one carriage return only before it.
[[nodiscard]] std::string_view strip_line_ending(std::string_view line) noexcept;

}  // namespace velkaron
