#include "host/native_session.hpp"

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
