#pragma once

// The one layer over the system calls the program makes on file descriptors.

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <utility>

namespace velkaron {

// Reads from standard input and from files go in pieces of this size.
inline constexpr std::size_t READ_CHUNK = 64 * 1024;

// Repeats a system call for as long as a signal interrupts it.
template <class Call, class... Args>
auto retry_on_eintr(Call call, Args... args) {
    for (;;) {
        const auto result = call(args...);
        if (result != -1 || errno != EINTR) return result;
    }
}

// An open file descriptor, closed when dropped. close(2) is not retried: on Linux the
// descriptor is gone even when it reports EINTR.
class UniqueFd {
  public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] explicit operator bool() const noexcept { return fd_ >= 0; }

    void reset() noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

using WriteCall = ssize_t (*)(int fd, const void* data, size_t size);

// What write_all gives when a write call accepted no bytes at all.
inline constexpr int WRITE_STALLED = -1;

// Writes every byte, continuing after short writes and retrying interrupted calls. 0 on
// success, else the errno of the failed call or WRITE_STALLED. Allocates nothing, so that the
// fatal path can use it too.
[[nodiscard]] int write_all(int fd, std::string_view bytes, WriteCall write = ::write) noexcept;

// One read(2) into `into`, retrying interrupted calls: the bytes read, 0 at end of input,
// negative on an error (errno set).
[[nodiscard]] ssize_t read_some(int fd, char* into, std::size_t size) noexcept;

}  // namespace velkaron
