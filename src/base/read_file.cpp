#include "base/read_file.hpp"

#include <fcntl.h>

#include <cerrno>

#include "base/os_error.hpp"

namespace velkaron {

Result<UniqueFd> open_for_reading(const std::string& path) {
    UniqueFd file(retry_on_eintr(::open, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file) return fail(os_error(errno));
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return fail(os_error(errno));
    }
    return file;
}

Result<std::string> read_to_end(int fd, const struct stat& info) {
    std::string content;
    // One byte beyond the expected size, so that the final read sees the end at once. Files
    // of /proc and /sys report no size and are read in chunks like a pipe.
    const bool sized = S_ISREG(info.st_mode) && info.st_size > 0;
    content.resize(sized ? static_cast<std::size_t>(info.st_size) + 1 : READ_CHUNK);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) content.resize(content.size() * 2);
        const ssize_t n = read_some(fd, content.data() + filled, content.size() - filled);
        if (n < 0) return fail(os_error(errno));
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    content.resize(filled);
    return content;
}

Result<std::string> read_whole_file(const std::string& path) {
    VELKARON_TRY(file, open_for_reading(path));
    struct stat info {};
    if (::fstat(file->get(), &info) != 0) return fail(os_error(errno));
    return read_to_end(file->get(), info);
}

}  // namespace velkaron
