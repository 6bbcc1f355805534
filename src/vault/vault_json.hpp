#pragma once

#include <string>
#include <string_view>

#include "base/result.hpp"
#include "vault/records.hpp"

namespace velkaron {

// The compact document in declared member order, `recovery` null when absent, no newline.
[[nodiscard]] std::string serialize_vault(const VaultFile& vault);

// A whole document, or the reader's fault "<description> at line <l> column <c>".
[[nodiscard]] Result<VaultFile> parse_vault(std::string_view text);

}  // namespace velkaron
