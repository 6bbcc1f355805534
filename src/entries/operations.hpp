#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "json/json.hpp"

#include "base/result.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// The members of a `put` request; `username` and `title` already defaulted to empty.
struct PutRequest {
    std::string_view host;
    std::string_view username;
    std::string_view password;
    std::string_view title;
    std::optional<std::string_view> entry_id;
};

// Each gives the response data: put the entry id, list an array of summaries, reveal one
// entry's details. The dispatcher has made its own checks first.
[[nodiscard]] Result<std::string> put_entry(HostState& state, const PutRequest& request);
[[nodiscard]] Result<Json> list_entries(HostState& state);
[[nodiscard]] Result<Json> reveal_entry(HostState& state, std::string_view entry_id);
[[nodiscard]] Status delete_entry(HostState& state, std::string_view entry_id);

}  // namespace velkaron
