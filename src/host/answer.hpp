#pragma once

#include <cstdint>
#include <string_view>

#include "base/secret_string.hpp"
#include "base/stack_scrub.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// The id the response carries (the request's, or 0), and how deep answering reached.
struct Answered {
    std::uint64_t id = 0;
    StackReach reach = StackReach::Any;
};

// Parses, dispatches and encodes one request, appending the response to `line` as compact JSON
// without a line ending (the fallback line when the response cannot be encoded). Both framings
// go through here, so that they answer with the same bytes.
[[nodiscard]] Answered answer(HostState& state, std::string_view request, SecretString& line);

// The same for input that never became a request: id 0, "Anfrage unlesbar: <fault>".
[[nodiscard]] Answered answer_unreadable(std::string_view fault, SecretString& line);

}  // namespace velkaron
