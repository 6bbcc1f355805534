#pragma once

#include <string_view>

#include "json/json.hpp"

#include "base/result.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// The details of every stored login for `host` or a parent domain of it, in file order.
[[nodiscard]] Result<Json> entries_for_host(HostState& state, std::string_view host);

}  // namespace velkaron
