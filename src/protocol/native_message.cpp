#include "protocol/native_message.hpp"

#include <algorithm>
#include <cstring>

#include "base/posix.hpp"

#include "json/writer.hpp"

namespace velkaron {
namespace {

constexpr std::string_view MORE = ",\"more\":true}";
constexpr std::string_view LAST = ",\"more\":false}";

// Opens a message whose length is filled in by close_message.
template <class Out>
std::size_t open_message(Out& out) {
    const std::size_t at = out.size();
    out.append(LENGTH_PREFIX_SIZE, '\0');
    return at;
}

template <class Out>
void close_message(Out& out, std::size_t at) {
    const auto length = static_cast<std::uint32_t>(out.size() - at - LENGTH_PREFIX_SIZE);
    std::memcpy(out.data() + at, &length, LENGTH_PREFIX_SIZE);
}

}  // namespace

std::size_t message_length(const char* prefix) noexcept {
    std::uint32_t length = 0;
    std::memcpy(&length, prefix, LENGTH_PREFIX_SIZE);
    return length;
}

template <class Out>
void append_message(Out& out, std::string_view payload) {
    const std::size_t at = open_message(out);
    out += payload;
    close_message(out, at);
}

template void append_message(std::string& out, std::string_view payload);
template void append_message(SecretString& out, std::string_view payload);

void append_response(SecretString& out, std::uint64_t id, std::string_view text,
                     std::size_t limit) {
    if (text.size() <= limit) {
        append_message(out, text);
        return;
    }
    const std::string head = "{\"id\":" + std::to_string(id) + ",\"chunk\":";
    // Every piece is measured as if it were the last, whose ending is the longer one.
    const std::size_t budget = limit - head.size() - LAST.size();
    while (!text.empty()) {
        const std::size_t piece = json::string_prefix_within(text, budget);
        const std::size_t at = open_message(out);
        out += head;
        // Cut on character boundaries of UTF-8 text, every piece is UTF-8 and is written.
        (void)json::append_string(out, text.substr(0, piece));
        text.remove_prefix(piece);
        out += text.empty() ? LAST : MORE;
        close_message(out, at);
    }
}

MessageReader::Outcome MessageReader::next(std::string_view& payload) {
    buffer_.pass_over(message_size_);  // the message handed out last may hold a password
    message_size_ = 0;
    if (!buffered(LENGTH_PREFIX_SIZE)) return Outcome::End;
    const std::size_t length = message_length(buffer_.unread().data());
    if (length > MAX_REQUEST_MESSAGE) return Outcome::TooLong;
    message_size_ = LENGTH_PREFIX_SIZE + length;
    if (!buffered(message_size_)) return Outcome::End;
    payload = buffer_.unread().substr(LENGTH_PREFIX_SIZE, length);
    return Outcome::Message;
}

// The buffer grows with the bytes that arrive, not with the length a prefix announces.
bool MessageReader::buffered(std::size_t size) {
    for (std::size_t held = buffer_.unread().size(); held < size; held = buffer_.unread().size()) {
        if (buffer_.fill(std::max(READ_CHUNK, std::min(size - held, held))) <= 0) return false;
    }
    return true;
}

}  // namespace velkaron
