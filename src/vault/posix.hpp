#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace velkaron {

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

}  // namespace velkaron
