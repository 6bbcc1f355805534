#pragma once

#include <string_view>

#include "base/result.hpp"
#include "json/writer.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// Writes the details of every stored login for `host` or a parent domain of it, in file order,
// as an array. On failure `out` holds part of it, for the caller to drop.
[[nodiscard]] Status entries_for_host(HostState& state, std::string_view host,
                                      json::DataWriter& out);

}  // namespace velkaron
