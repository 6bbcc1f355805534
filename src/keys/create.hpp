#pragma once

#include <string>
#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// Creates, saves and unlocks a new vault at the vault path; gives the recovery code.
[[nodiscard]] Result<SecretString> create_vault(HostState& state, std::string_view password);

}  // namespace velkaron
