#pragma once

#include <string_view>

#include "entries/entry.hpp"
#include "json/writer.hpp"

namespace velkaron {

// What `reveal` and `for-host` answer for one entry: `host`, `id`, `password`, `title`,
// `username`.
void write_entry_detail(json::DataWriter& out, std::string_view id, const Entry& entry);

}  // namespace velkaron
