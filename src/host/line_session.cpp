#include "host/line_session.hpp"

#include <sodium.h>

#include <cstring>
#include <string>
#include <string_view>

#include "base/posix.hpp"
#include "base/secret_string.hpp"
#include "base/stack_scrub.hpp"
#include "host/answer.hpp"
#include "protocol/framing.hpp"

namespace velkaron {
namespace {

Answered answer_too_long(SecretString& line) {
    return answer_unreadable("line too long at line 1 column " + std::to_string(MAX_LINE + 1),
                             line);
}

// Writes the response `line` holds and empties it, wiping what it held: a revealed password
// must not linger in a buffer that serves the next request.
bool respond(SecretString& line, int output_fd) {
    line += '\n';
    const bool written = write_all(output_fd, line) == 0;
    line.clear();
    return written;
}

class LineReader {
  public:
    explicit LineReader(int fd) : fd_(fd) {}

    // Hands every line, with its line feed, to `handle(line, false)` until input ends or
    // `handle` returns false; a line over MAX_LINE that is valid and not blank comes as
    // `handle({}, true)` instead, its bytes already dropped.
    template <class Handle>
    void run(Handle handle) {
        for (;;) {
            const std::size_t newline = buffer_.find('\n', start_ + scanned_);
            if (newline != std::string::npos) {
                const std::size_t length = newline + 1 - start_;
                const bool go = handle(std::string_view(buffer_).substr(start_, length), false);
                sodium_memzero(buffer_.data() + start_, length);  // the line may hold a password
                start_ = newline + 1;
                scanned_ = 0;
                if (!go) return;
                continue;
            }
            scanned_ = buffer_.size() - start_;
            if (scanned_ > MAX_LINE) {
                if (!discard_long_line(handle)) return;
                continue;
            }
            compact();
            const ssize_t n = fill();
            if (n < 0) return;  // the unfinished line is dropped
            if (n == 0) {
                if (scanned_ > 0) handle(std::string_view(buffer_).substr(start_), false);
                return;
            }
        }
    }

  private:
    // The line already holds more than MAX_LINE bytes: check and drop it piece by piece.
    // Gives false when the loop must end (not UTF-8, read error).
    template <class Handle>
    bool discard_long_line(Handle handle) {
        Utf8Scanner scanner;
        for (;;) {
            const std::string_view rest = std::string_view(buffer_).substr(start_);
            const std::size_t newline = rest.find('\n');
            const bool ends = newline != std::string_view::npos;
            if (!scanner.feed(ends ? rest.substr(0, newline + 1) : rest)) return false;
            if (ends) {
                start_ += newline + 1;
                scanned_ = 0;
                break;
            }
            buffer_.clear();
            start_ = scanned_ = 0;
            const ssize_t n = fill();
            if (n < 0) return false;
            if (n == 0) break;
        }
        if (!scanner.complete()) return false;
        return scanner.blank() || handle(std::string_view(), true);
    }

    void compact() {
        if (start_ == 0) return;
        const std::size_t keep = buffer_.size() - start_;
        std::memmove(buffer_.data(), buffer_.data() + start_, keep);
        sodium_memzero(buffer_.data() + keep, buffer_.size() - keep);
        buffer_.resize(keep);
        start_ = 0;
    }

    ssize_t fill() {
        const std::size_t old = buffer_.size();
        buffer_.resize(old + READ_CHUNK);
        const ssize_t n = read_some(fd_, buffer_.data() + old, READ_CHUNK);
        buffer_.resize(old + static_cast<std::size_t>(n > 0 ? n : 0));
        return n;
    }

    int fd_;
    SecretString buffer_;
    std::size_t start_ = 0;
    std::size_t scanned_ = 0;  // bytes after start_ known to hold no line feed
};

}  // namespace

void serve_lines(HostState& state, int input_fd, int output_fd) {
    LineReader reader(input_fd);
    SecretString response;
    reader.run([&](std::string_view line, bool over_limit) {
        if (!over_limit) {
            Utf8Scanner scanner;
            if (!scanner.feed(line) || !scanner.complete()) return false;
            if (scanner.blank()) return true;
        }
        const std::string_view request = strip_line_ending(line);
        const Answered answered = over_limit || request.size() > MAX_LINE
                                      ? answer_too_long(response)
                                      : answer(state, request, response);
        const bool written = respond(response, output_fd);
        // From this frame down lay the frames of the request just answered.
        scrub_stack(answered.reach);
        return written;
    });
}

}  // namespace velkaron
