#pragma once

// Native messages, the framing browsers speak with the programs they start: a 32-bit length in
// the machine's byte order, then that many bytes of UTF-8 JSON.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/secret_string.hpp"
#include "protocol/read_buffer.hpp"

namespace velkaron {

inline constexpr std::size_t LENGTH_PREFIX_SIZE = sizeof(std::uint32_t);

// The longest message a browser sends; a longer announced length is not read.
inline constexpr std::size_t MAX_REQUEST_MESSAGE = 64 * 1024 * 1024;

// The longest message a browser accepts; a longer one breaks its connection to the host.
inline constexpr std::size_t MAX_RESPONSE_MESSAGE = 1024 * 1024;

// The length announced by the LENGTH_PREFIX_SIZE bytes at `prefix`.
[[nodiscard]] std::size_t message_length(const char* prefix) noexcept;

// Appends one message: the length of `payload`, then `payload`. Into a std::string (requests a
// client sends) or a SecretString (responses).
template <class Out>
void append_message(Out& out, std::string_view payload);

// Appends the response `text` to request `id` as one message when it takes at most `limit`
// bytes. A longer one goes as chunk messages {"id":ID,"chunk":"…","more":true}, …, the last
// with "more":false, each at most `limit` bytes; their chunk strings, decoded and joined in
// order, give `text` again. `text` must be UTF-8, as every encoded response is, and `limit`
// at least 64 bytes, room for the envelope and one escaped character.
void append_response(SecretString& out, std::uint64_t id, std::string_view text,
                     std::size_t limit = MAX_RESPONSE_MESSAGE);

// Reads the messages a browser sends, one after another, from one buffer.
class MessageReader {
  public:
    enum class Outcome { Message, End, TooLong };

    explicit MessageReader(int fd) noexcept : buffer_(fd) {}

    // The next message in `payload`, valid until the next call, which wipes it; End at end of
    // input or on a read error, before or inside a message; TooLong when its prefix announces
    // more than MAX_REQUEST_MESSAGE bytes.
    Outcome next(std::string_view& payload);

  private:
    // Reads until `size` unread bytes are buffered; false when input ends first.
    bool buffered(std::size_t size);

    ReadBuffer buffer_;
    std::size_t message_size_ = 0;  // of the message handed out last, with its prefix
};

}  // namespace velkaron
