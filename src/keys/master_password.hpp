#pragma once

#include <cstddef>
#include <string_view>

#include "base/result.hpp"

namespace velkaron {

inline constexpr std::size_t MIN_MASTER_PASSWORD_CHARS = 8;

// A new master password must have MIN_MASTER_PASSWORD_CHARS characters (Unicode scalar values,
// not bytes); "Master-Passwort braucht mindestens 8 Zeichen" otherwise.
[[nodiscard]] Status check_new_master_password(std::string_view utf8);

}  // namespace velkaron
