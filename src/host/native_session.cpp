#include "host/native_session.hpp"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/posix.hpp"
#include "base/secret_string.hpp"
#include "base/stack_scrub.hpp"
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
    SecretString buffer_;
    std::size_t start_ = 0;         // first byte not yet handed out
    std::size_t message_size_ = 0;  // of the message handed out last, with its prefix
};

Answered answer_message(HostState& state, std::string_view payload, SecretString& line) {
    if (payload.empty()) return answer_unreadable(EMPTY_MESSAGE, line);
    Utf8Scanner scanner;
    if (!scanner.feed(payload) || !scanner.complete()) return answer_unreadable(NOT_UTF8, line);
    return answer(state, payload, line);
}

// The response text and its framing, kept from request to request; both are emptied and wiped
// after each write, since a revealed password must not linger.
class Responder {
  public:
    explicit Responder(int fd) : fd_(fd) {}

    SecretString& text() { return text_; }

    bool send(std::uint64_t id) {
        append_response(framed_, id, text_);
        const bool written = write_all(fd_, framed_) == 0;
        framed_.clear();
        text_.clear();
        return written;
    }

  private:
    int fd_;
    SecretString text_;
    SecretString framed_;
};

}  // namespace

void serve_frames(HostState& state, int input_fd, int output_fd) {
    MessageReader reader(input_fd);
    Responder responder(output_fd);
    for (;;) {
        std::string_view payload;
        switch (reader.next(payload)) {
            case MessageReader::Outcome::End:
                return;
            case MessageReader::Outcome::TooLong:
                (void)responder.send(answer_unreadable(TOO_LONG, responder.text()).id);
                return;
            case MessageReader::Outcome::Message: {
                const Answered answered = answer_message(state, payload, responder.text());
                const bool written = responder.send(answered.id);
                // From this frame down lay the frames of the request just answered.
                scrub_stack(answered.reach);
                if (!written) return;
                break;
            }
        }
    }
}

}  // namespace velkaron
