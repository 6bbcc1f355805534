#pragma once

#include "json/writer.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// `entries`, `exists`, `unlocked`; reads nothing but a stat of the vault path. Written straight
// into the line: clients poll it, and a document would cost more than the rest of the request.
void status(const HostState& state, json::DataWriter& out);

// Wipes and forgets the key, drops the loaded vault; always `unlocked` false.
[[nodiscard]] Json lock(HostState& state);

}  // namespace velkaron
