#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "json/json.hpp"
#include "protocol/request.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// Recognises the operation, tests its required members in order, makes its further checks
// and runs it. Gives the response data or the German message; never fails otherwise.
[[nodiscard]] Result<Json> dispatch(HostState& state, const Request& request);

// The text when present and not empty, else "<label> fehlt".
[[nodiscard]] Result<std::string_view> require_field(const std::optional<SecretString>& member,
                                                     std::string_view label);

}  // namespace velkaron
