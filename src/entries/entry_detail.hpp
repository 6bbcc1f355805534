#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "entries/entry.hpp"

namespace velkaron {

// What `reveal` and `for-host` answer for one entry: `host`, `id`, `password`, `title`,
// `username`. The strings are moved out of `entry`.
[[nodiscard]] nlohmann::json entry_detail(std::string_view id, Entry&& entry);

}  // namespace velkaron
