#pragma once

#include <string_view>

#include "entries/entry.hpp"

namespace velkaron {

// Reads an entry plaintext in exactly the form write_entry gives it (declared member order, no
// white space, the writer's escaping, times without sign, leading zero, fraction or exponent)
// straight into `entry`, whose texts keep their buffers. Any other text, however small the
// difference, is refused, with `entry` then unspecified, and left to read_entry, which judges
// it; for every text this accepts, read_entry gives the same Entry (fuzz/fuzz_entry_scan.cpp
// holds the two to that).
[[nodiscard]] bool scan_entry(std::string_view plaintext, Entry& entry);

}  // namespace velkaron
