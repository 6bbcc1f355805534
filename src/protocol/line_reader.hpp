#pragma once

// Request lines, the framing of velkaron-vault: UTF-8 text, one request per line.

#include <cstddef>
#include <string_view>

#include "base/posix.hpp"
#include "base/utf8.hpp"
#include "protocol/read_buffer.hpp"

namespace velkaron {

// A line longer than this before its line feed is not held in memory: the rest is read in
// pieces, checked and discarded, and the line is answered as unreadable.
inline constexpr std::size_t MAX_LINE = 64 * 1024 * 1024;

// The line without its ending: one line feed, and one carriage return only before it.
[[nodiscard]] std::string_view strip_line_ending(std::string_view line) noexcept;

class LineReader {
  public:
    explicit LineReader(int fd) noexcept : buffer_(fd) {}

    // Hands every line, with its line feed, to `handle(line, false)` until input ends or
    // `handle` returns false; a line over MAX_LINE that is valid and not blank comes as
    // `handle({}, true)` instead, its bytes already dropped. Each line is wiped once handled.
    template <class Handle>
    void run(Handle handle) {
        for (;;) {
            const std::string_view unread = buffer_.unread();
            const std::size_t newline = unread.find('\n', scanned_);
            if (newline != std::string_view::npos) {
                const bool go = handle(unread.substr(0, newline + 1), false);
                buffer_.pass_over(newline + 1);
                scanned_ = 0;
                if (!go) return;
                continue;
            }
            scanned_ = unread.size();
            if (scanned_ > MAX_LINE) {
                if (!discard_long_line(handle)) return;
                continue;
            }
            const ssize_t n = buffer_.fill(READ_CHUNK);
            if (n < 0) return;  // the unfinished line is dropped
            if (n == 0) {
                if (scanned_ > 0) handle(buffer_.unread(), false);
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
        scanned_ = 0;
        for (;;) {
            const std::string_view rest = buffer_.unread();
            const std::size_t newline = rest.find('\n');
            const bool ends = newline != std::string_view::npos;
            const std::size_t piece = ends ? newline + 1 : rest.size();
            if (!scanner.feed(rest.substr(0, piece))) return false;
            buffer_.pass_over(piece);
            if (ends) break;
            const ssize_t n = buffer_.fill(READ_CHUNK);
            if (n < 0) return false;
            if (n == 0) break;
        }
        if (!scanner.complete()) return false;
        return scanner.blank() || handle(std::string_view(), true);
    }

    ReadBuffer buffer_;
    std::size_t scanned_ = 0;  // unread bytes known to hold no line feed
};

}  // namespace velkaron
