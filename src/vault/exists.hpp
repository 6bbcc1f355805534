#pragma once

#include <string>

namespace velkaron {

// True when stat(2) on the vault path succeeds, whatever it names; false on any failure.
// Never reads the file.
[[nodiscard]] bool vault_exists(const std::string& path) noexcept;

}  // namespace velkaron
