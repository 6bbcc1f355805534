#include "protocol/read_buffer.hpp"

#include <sodium.h>

#include <cstring>

#include "base/posix.hpp"

namespace velkaron {

ssize_t ReadBuffer::fill(std::size_t room) {
    if (start_ != 0) {
        const std::size_t keep = buffer_.size() - start_;
        std::memmove(buffer_.data(), buffer_.data() + start_, keep);
        sodium_memzero(buffer_.data() + keep, buffer_.size() - keep);
        buffer_.resize(keep);
        start_ = 0;
    }
    const std::size_t old = buffer_.size();
    buffer_.resize(old + room);
    const ssize_t n = read_some(fd_, buffer_.data() + old, room);
    buffer_.resize(old + static_cast<std::size_t>(n > 0 ? n : 0));
    return n;
}

}  // namespace velkaron
