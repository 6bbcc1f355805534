#pragma once

// Another process's memory as a debugger sees it: the resident pages of its writable mappings,
// read through /proc/PID/maps, /proc/PID/pagemap and /proc/PID/mem. Needs the right to trace
// the process (root for a host that has made itself non-dumpable).

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron::testing_support {

struct Mapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    std::string permissions;  // "rw-p"
    std::string name;         // "[heap]", a file, or empty
};

// The pages of one mapping that were resident, in address order; pages not resident are left
// out, so a run of bytes may be shorter than the mapping.
struct MemoryRun {
    std::uintptr_t address = 0;
    std::string bytes;
    std::size_t mapping = 0;  // index into MemoryImage::mappings
};

struct MemoryImage {
    std::vector<Mapping> mappings;  // all of them, writable or not
    std::vector<MemoryRun> runs;    // resident pages of the writable ones
};

// Why `pid` cannot be read, or nothing when it can.
[[nodiscard]] std::optional<std::string> memory_unreadable(pid_t pid);

// The resident writable memory of `pid`. Mappings larger than 1 TiB are sanitizer shadow
// reservations, which hold no program data; they are listed but not read.
[[nodiscard]] MemoryImage read_memory(pid_t pid);

// Waits until `pid` sits in the system call `number` on descriptor `fd`: in read(2) on its
// standard input once all it does after answering is done, in write(2) on its standard output
// while it answers into a full pipe.
void wait_until_in_call(pid_t pid, long number, int fd);

// Every place where one of `needles` occurs in `image`.
struct Occurrence {
    std::size_t needle = 0;
    std::uintptr_t address = 0;
    std::size_t mapping = 0;
};
[[nodiscard]] std::vector<Occurrence> find_all(const MemoryImage& image,
                                               const std::vector<std::string>& needles);

}  // namespace velkaron::testing_support
