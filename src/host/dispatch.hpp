#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/result.hpp"
#include "protocol/request.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// Recognises the operation, tests its required members in order, makes its further checks
// and runs it. Gives the response data or the German message; never fails otherwise.
[[nodiscard]] Result<nlohmann::json> dispatch(HostState& state, const Request& request);

// The text when present and not empty, else "<label> fehlt".
[[nodiscard]] Result<std::string_view> require_field(const std::optional<std::string>& member,
                                                     std::string_view label);

}  // namespace velkaron
