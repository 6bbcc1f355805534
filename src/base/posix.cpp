#include "base/posix.hpp"

namespace velkaron {

int write_all(int fd, std::string_view bytes, WriteCall write) noexcept {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return WRITE_STALLED;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

ssize_t read_some(int fd, char* into, std::size_t size) noexcept {
    return retry_on_eintr(::read, fd, into, size);
}

}  // namespace velkaron
