#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/host_state.hpp"

namespace velkaron {

// The response to one request as every framing sends it: compact JSON without a line ending,
// and the id it carries (the request's, or 0 when the request was unreadable).
struct Reply {
    std::uint64_t id = 0;
    std::string text;
};

// Parses, dispatches and encodes one request; the fallback line when the response cannot be
// encoded. Both framings go through here, so that they answer with the same bytes.
[[nodiscard]] Reply answer(HostState& state, std::string_view request);

// The reply to input that never became a request: id 0, "Anfrage unlesbar: <fault>".
[[nodiscard]] Reply unreadable(std::string_view fault);

}  // namespace velkaron
