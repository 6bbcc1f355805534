#pragma once

#include <sodium.h>
#include <sys/types.h>

#include <cstddef>
#include <string_view>

#include "base/secret_string.hpp"

namespace velkaron {

// Bytes read from a file descriptor and not yet passed over, in one buffer that wipes what it
// lets go: what a reader hands out may hold a password, and the buffer serves the next request.
class ReadBuffer {
  public:
    explicit ReadBuffer(int fd) noexcept : fd_(fd) {}

    // The bytes read and not yet passed over; valid until the next fill.
    [[nodiscard]] std::string_view unread() const noexcept {
        return std::string_view(buffer_).substr(start_);
    }

    // Wipes the first `count` unread bytes and passes over them.
    void pass_over(std::size_t count) noexcept {
        sodium_memzero(buffer_.data() + start_, count);
        start_ += count;
    }

    // Moves the unread bytes to the front, wiping the room they leave, and reads at most `room`
    // bytes behind them. Gives what the read gave: the count, 0 at end of input, -1 on error.
    ssize_t fill(std::size_t room);

  private:
    int fd_;
    SecretString buffer_;
    std::size_t start_ = 0;  // first byte not passed over
};

}  // namespace velkaron
