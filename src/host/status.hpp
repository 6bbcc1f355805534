#pragma once

#include "json/json.hpp"

#include "state/host_state.hpp"

namespace velkaron {

// `entries`, `exists`, `unlocked`; reads nothing but a stat of the vault path.
[[nodiscard]] Json status(const HostState& state);

// Wipes and forgets the key, drops the loaded vault; always `unlocked` false.
[[nodiscard]] Json lock(HostState& state);

}  // namespace velkaron
