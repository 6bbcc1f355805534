#pragma once

#include <cstdint>

namespace velkaron {

// The wall clock in whole seconds since the Unix epoch; 0 before it.
[[nodiscard]] std::uint64_t unix_seconds();

}  // namespace velkaron
