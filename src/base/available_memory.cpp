#include "base/available_memory.hpp"

#include <algorithm>
#include <charconv>
#include <string>

#include "base/read_file.hpp"

namespace velkaron {
namespace {

constexpr std::string_view CGROUP_ROOT = "/sys/fs/cgroup";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\n");
    return text.substr(first, last + 1 - first);
}

std::optional<std::uint64_t> parse_number(std::string_view text) {
    std::uint64_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
    return value;
}

// The rest of the first line that starts with `key`.
std::optional<std::string_view> line_after(std::string_view text, std::string_view key) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        if (line.starts_with(key)) return line.substr(key.size());
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> smaller(std::optional<std::uint64_t> a,
                                     std::optional<std::uint64_t> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

// The tightest limit on the way from the process's group up to the root of the hierarchy.
std::optional<std::uint64_t> cgroup_available() {
    const auto self = read_whole_file("/proc/self/cgroup");
    if (!self) return std::nullopt;
    const auto relative = line_after(*self, "0::");  // the cgroup v2 entry
    if (!relative) return std::nullopt;

    std::optional<std::uint64_t> tightest;
    std::string group = std::string(CGROUP_ROOT) + std::string(*relative);
    for (;;) {
        const auto max = read_whole_file(group + "/memory.max");
        const auto current = read_whole_file(group + "/memory.current");
        if (max && current) tightest = smaller(tightest, cgroup_headroom(*max, *current));
        if (group.size() <= CGROUP_ROOT.size()) break;
        group.erase(group.find_last_of('/'));
    }
    return tightest;
}

}  // namespace

std::optional<std::uint64_t> parse_mem_available(std::string_view meminfo) {
    const auto line = line_after(meminfo, "MemAvailable:");
    if (!line) return std::nullopt;
    const std::string_view value = trim(*line);
    if (!value.ends_with("kB")) return std::nullopt;
    const auto kib = parse_number(trim(value.substr(0, value.size() - 2)));
    if (!kib) return std::nullopt;
    return *kib * 1024;
}

std::optional<std::uint64_t> cgroup_headroom(std::string_view memory_max,
                                             std::string_view memory_current) {
    const auto max = parse_number(trim(memory_max));
    const auto current = parse_number(trim(memory_current));
    if (!max || !current) return std::nullopt;
    return *max > *current ? *max - *current : 0;
}

std::optional<std::uint64_t> available_memory() {
    const auto meminfo = read_whole_file("/proc/meminfo");
    return smaller(meminfo ? parse_mem_available(*meminfo) : std::nullopt, cgroup_available());
}

}  // namespace velkaron
