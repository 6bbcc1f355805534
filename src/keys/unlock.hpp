#pragma once

#include <string_view>

#include "base/result.hpp"
#include "state/host_state.hpp"

namespace velkaron {

[[nodiscard]] Status unlock_vault(HostState& state, std::string_view password);
[[nodiscard]] Status unlock_with_recovery(HostState& state, std::string_view code);
[[nodiscard]] Status change_password(HostState& state, std::string_view current_password,
                                     std::string_view new_password);
// For the user who forgot the master password: the recovery code opens the vault and a new
// master password replaces the old one; the code itself stays valid.
[[nodiscard]] Status reset_password(HostState& state, std::string_view code,
                                    std::string_view new_password);

}  // namespace velkaron
