#include "host/native_session.hpp"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/posix.hpp"
#include "base/utf8.hpp"
#include "host/answer.hpp"
#include "protocol/native_message.hpp"

namespace velkaron {
namespace {

constexpr std::string_view EMPTY_MESSAGE = "leere Nachricht";
constexpr std::string_view NOT_UTF8 = "Nachricht ist kein gültiges UTF-8";
constexpr std::string_view TOO_LONG = "Nachricht länger als 64 MiB";
static_assert(MAX_REQUEST_MESSAGE == std::size_t{64} * 1024 * 1024, "TOO_LONG names the limit");

class MessageReader {
  public:
    enum class Outcome { Message, End, TooLong };

    explicit MessageReader(int fd) : fd_(fd) {}

    // The next message in `payload`, valid until the next call; End at end of input or on a
    // read error, before or inside a message.
    Outcome next(std::string_view& payload) {
        drop_message();
        if (!buffered(LENGTH_PREFIX_SIZE)) return Outcome::End;
        const std::size_t length = message_length(buffer_.data() + start_);
        if (length > MAX_REQUEST_MESSAGE) return Outcome::TooLong;
        message_size_ = LENGTH_PREFIX_SIZE + length;
        if (!buffered(message_size_)) return Outcome::End;
        payload = std::string_view(buffer_).substr(start_ + LENGTH_PREFIX_SIZE, length);
        return Outcome::Message;
    }

  private:
    // The message handed out last may hold a password.
    void drop_message() {
        sodium_memzero(buffer_.data() + start_, message_size_);
        start_ += message_size_;
        message_size_ = 0;
    }

    // Reads until `size` bytes from start_ are in the buffer; false when input ends first. The
    // buffer grows with the bytes that arrive, not with the length a prefix announces.
    bool buffered(std::size_t size) {
        while (buffer_.size() - start_ < size) {
            compact();
            const std::size_t old = buffer_.size();
            const std::size_t room = std::max(READ_CHUNK, std::min(size - old, old));
            buffer_.resize(old + room);
            const ssize_t n = read_some(fd_, buffer_.data() + old, room);
            buffer_.resize(old + static_cast<std::size_t>(n > 0 ? n : 0));
            if (n <= 0) return false;
        }
        return true;
    }

    void compact() {
        if (start_ == 0) return;
        const std::size_t keep = buffer_.size() - start_;
        std::memmove(buffer_.data(), buffer_.data() + start_, keep);
        sodium_memzero(buffer_.data() + keep, buffer_.size() - keep);
        buffer_.resize(keep);
        start_ = 0;
    }

    int fd_;
    std::string buffer_;
    std::size_t start_ = 0;         // first byte not yet handed out
    std::size_t message_size_ = 0;  // of the message handed out last, with its prefix
};

Reply answer_message(HostState& state, std::string_view payload) {
    if (payload.empty()) return unreadable(EMPTY_MESSAGE);
    Utf8Scanner scanner;
    if (!scanner.feed(payload) || !scanner.complete()) return unreadable(NOT_UTF8);
    return answer(state, payload);
}

bool respond(Reply reply, int output_fd) {
    std::string out;
    out.reserve(LENGTH_PREFIX_SIZE + reply.text.size());
    append_response(out, reply.id, reply.text);
    const bool written = write_all(output_fd, out) == 0;
    // A revealed password must not linger.
    sodium_memzero(out.data(), out.size());
    sodium_memzero(reply.text.data(), reply.text.size());
    return written;
}

}  // namespace

void serve_frames(HostState& state, int input_fd, int output_fd) {
    MessageReader reader(input_fd);
    for (;;) {
        std::string_view payload;
        switch (reader.next(payload)) {
            case MessageReader::Outcome::End:
                return;
            case MessageReader::Outcome::TooLong:
                (void)respond(unreadable(TOO_LONG), output_fd);
                return;
            case MessageReader::Outcome::Message:
                if (!respond(answer_message(state, payload), output_fd)) return;
                break;
        }
    }
}

}  // namespace velkaron
