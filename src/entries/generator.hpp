#pragma once

#include <cstdint>
#include <optional>
#include "base/secret_string.hpp"

namespace velkaron {

// A random password of `length` characters (20 when absent), clamped to 8…128.
[[nodiscard]] SecretString generate_password(std::optional<std::uint64_t> length);

}  // namespace velkaron
