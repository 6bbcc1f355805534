#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "json/writer.hpp"
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

// The dispatcher has made its own checks first. put gives the entry id; list writes an array
// of summaries and reveal one entry's details into `out`, which holds part of them when they
// fail, for the caller to drop.
[[nodiscard]] Result<std::string> put_entry(HostState& state, const PutRequest& request);
[[nodiscard]] Status list_entries(HostState& state, json::DataWriter& out);
[[nodiscard]] Status reveal_entry(HostState& state, std::string_view entry_id,
                                  json::DataWriter& out);
[[nodiscard]] Status delete_entry(HostState& state, std::string_view entry_id);

}  // namespace velkaron
