#include "support/process_memory.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/posix.hpp"

namespace velkaron::testing_support {
namespace {

constexpr std::uintptr_t SHADOW_SIZE = std::uintptr_t{1} << 40;
constexpr std::uint64_t PAGE_PRESENT = std::uint64_t{1} << 63;

std::string proc(pid_t pid, std::string_view file) {
    return "/proc/" + std::to_string(pid) + "/" + std::string(file);
}

std::vector<Mapping> read_maps(pid_t pid) {
    std::ifstream maps(proc(pid, "maps"));
    if (!maps) throw std::runtime_error("cannot read " + proc(pid, "maps"));
    std::vector<Mapping> mappings;
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range, offset, device, inode;
        Mapping m;
        fields >> range >> m.permissions >> offset >> device >> inode;
        std::getline(fields >> std::ws, m.name);
        const std::size_t dash = range.find('-');
        m.start = std::stoull(range.substr(0, dash), nullptr, 16);
        m.end = std::stoull(range.substr(dash + 1), nullptr, 16);
        mappings.push_back(std::move(m));
    }
    return mappings;
}

}  // namespace

std::optional<std::string> memory_unreadable(pid_t pid) {
    const UniqueFd mem(::open(proc(pid, "mem").c_str(), O_RDONLY | O_CLOEXEC));
    if (!mem) return proc(pid, "mem") + ": " + std::strerror(errno);
    const UniqueFd pagemap(::open(proc(pid, "pagemap").c_str(), O_RDONLY | O_CLOEXEC));
    if (!pagemap) return proc(pid, "pagemap") + ": " + std::strerror(errno);
    return std::nullopt;
}

MemoryImage read_memory(pid_t pid) {
    MemoryImage image;
    image.mappings = read_maps(pid);
    const UniqueFd mem(::open(proc(pid, "mem").c_str(), O_RDONLY | O_CLOEXEC));
    const UniqueFd pagemap(::open(proc(pid, "pagemap").c_str(), O_RDONLY | O_CLOEXEC));
    if (!mem || !pagemap) throw std::runtime_error("cannot open the memory of the process");
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    std::vector<std::uint64_t> entries;
    for (std::size_t index = 0; index < image.mappings.size(); ++index) {
        const Mapping& m = image.mappings[index];
        if (m.permissions[1] != 'w' || m.end - m.start >= SHADOW_SIZE) continue;
        const std::size_t pages = (m.end - m.start) / page;
        entries.assign(pages, 0);
        const auto want = static_cast<ssize_t>(pages * sizeof(std::uint64_t));
        if (::pread(pagemap.get(), entries.data(), static_cast<std::size_t>(want),
                    static_cast<off_t>(m.start / page * sizeof(std::uint64_t))) != want) {
            continue;  // gone meanwhile, like [vvar] on some kernels
        }
        for (std::size_t first = 0; first < pages;) {
            if ((entries[first] & PAGE_PRESENT) == 0) {
                ++first;
                continue;
            }
            std::size_t last = first;
            while (last < pages && (entries[last] & PAGE_PRESENT) != 0) ++last;
            MemoryRun run{m.start + first * page, std::string((last - first) * page, '\0'), index};
            const ssize_t n = ::pread(mem.get(), run.bytes.data(), run.bytes.size(),
                                      static_cast<off_t>(run.address));
            if (n > 0) {
                run.bytes.resize(static_cast<std::size_t>(n));
                image.runs.push_back(std::move(run));
            }
            first = last;
        }
    }
    return image;
}

void wait_until_in_call(pid_t pid, long number, int fd) {
    // /proc/PID/syscall: the call's number and arguments in hexadecimal while the process is
    // blocked in one, "running" while it runs.
    const std::string prefix = std::to_string(number) + " 0x" + std::to_string(fd) + " ";
    for (;;) {
        std::ifstream syscall(proc(pid, "syscall"));
        std::string line;
        if (!std::getline(syscall, line)) {
            throw std::runtime_error("cannot read " + proc(pid, "syscall"));
        }
        if (line.starts_with(prefix)) return;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

std::vector<Occurrence> find_all(const MemoryImage& image,
                                 const std::vector<std::string>& needles) {
    // Indexed by their first two bytes, so that memory is walked once for all needles; the
    // bitmap keeps that walk in the cache.
    const auto prefix = [](std::string_view at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(at[0]) |
                                        static_cast<unsigned char>(at[1]) << 8);
    };
    std::vector<std::vector<std::size_t>> by_prefix(65536);
    std::vector<unsigned char> any(65536);
    for (std::size_t i = 0; i < needles.size(); ++i) {
        if (needles[i].size() < 2) throw std::invalid_argument("needles have at least two bytes");
        by_prefix[prefix(needles[i])].push_back(i);
        any[prefix(needles[i])] = true;
    }
    std::vector<Occurrence> found;
    for (const MemoryRun& run : image.runs) {
        const std::string_view bytes = run.bytes;
        for (std::size_t at = 0; at + 1 < bytes.size(); ++at) {
            const std::size_t key = prefix(bytes.substr(at));
            if (!any[key]) continue;
            for (const std::size_t i : by_prefix[key]) {
                if (bytes.substr(at, needles[i].size()) == needles[i]) {
                    found.push_back({i, run.address + at, run.mapping});
                }
            }
        }
    }
    return found;
}

}  // namespace velkaron::testing_support
