#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace velkaron {

inline constexpr std::size_t UUID_LEN = 16;

// The version 4 UUID made of `bytes`: version and variant bits set, 36 characters in lower-case
// hexadecimal grouped 8-4-4-4-12.
[[nodiscard]] std::string format_uuid_v4(std::array<unsigned char, UUID_LEN> bytes);

// A fresh random id for a new entry; a failing random source ends the process.
[[nodiscard]] std::string new_entry_id();

}  // namespace velkaron
