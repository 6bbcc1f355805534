#pragma once

#include <nlohmann/json.hpp>

#include "state/host_state.hpp"

namespace velkaron {

// `entries`, `exists`, `unlocked`; reads nothing but a stat of the vault path.
[[nodiscard]] nlohmann::json status(const HostState& state);

// Wipes and forgets the key, drops the loaded vault; always `unlocked` false.
[[nodiscard]] nlohmann::json lock(HostState& state);

}  // namespace velkaron
