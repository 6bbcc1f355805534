#pragma once

#include <string_view>

#include "base/result.hpp"
#include "state/host_state.hpp"

namespace velkaron {

[[nodiscard]] Status unlock_vault(HostState& state, std::string_view password);
[[nodiscard]] Status unlock_with_recovery(HostState& state, std::string_view code);
[[nodiscard]] Status change_password(HostState& state, std::string_view current_password,
                                     std::string_view new_password);

}  // namespace velkaron
