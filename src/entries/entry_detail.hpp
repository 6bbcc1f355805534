#pragma once

#include <string_view>

#include "json/json.hpp"

#include "entries/entry.hpp"

namespace velkaron {

// What `reveal` and `for-host` answer for one entry: `host`, `id`, `password`, `title`,
// `username`.
[[nodiscard]] Json entry_detail(std::string_view id, const Entry& entry);

}  // namespace velkaron
