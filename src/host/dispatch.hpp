#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "protocol/request.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// Recognises the operation, tests its required members in order, makes its further checks,
// runs it and appends the response, with the data or the German message, to `line`. False,
// with `line` as it was, only when the response cannot be encoded.
[[nodiscard]] bool dispatch(HostState& state, const Request& request, SecretString& line);

// The text when present and not empty, else "<label> fehlt".
[[nodiscard]] Result<std::string_view> require_field(const std::optional<SecretString>& member,
                                                     std::string_view label);

}  // namespace velkaron
