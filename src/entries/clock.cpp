#include "entries/clock.hpp"

#include <chrono>

namespace velkaron {

std::uint64_t unix_seconds() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
    return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

}  // namespace velkaron
