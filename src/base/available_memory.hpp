#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velkaron {

// Bytes the process can still fill without being killed: MemAvailable of /proc/meminfo, or the
// headroom below a cgroup v2 memory limit of this process's group or an ancestor, whichever
// is smaller. Empty when neither can be read. Under overcommit a large allocation succeeds
// and the process dies later, while touching it; this is what a caller checks beforehand.
[[nodiscard]] std::optional<std::uint64_t> available_memory();

// MemAvailable of a /proc/meminfo text, in bytes.
[[nodiscard]] std::optional<std::uint64_t> parse_mem_available(std::string_view meminfo);

// A cgroup's memory.max less its memory.current; empty when memory.max is "max" (no limit) or a
// text is not a number.
[[nodiscard]] std::optional<std::uint64_t> cgroup_headroom(std::string_view memory_max,
                                                           std::string_view memory_current);

}  // namespace velkaron
