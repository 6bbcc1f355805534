#include "host/line_session.hpp"

#include <string>
#include <string_view>

#include "base/posix.hpp"
#include "base/secret_string.hpp"
#include "base/stack_scrub.hpp"
#include "base/utf8.hpp"
#include "base/wire_texts.hpp"
#include "host/answer.hpp"
#include "protocol/line_reader.hpp"

namespace velkaron {
namespace {

Answered answer_too_long(SecretString& line) {
    std::string fault(wire::LINE_TOO_LONG);
    fault.append(wire::AT_LINE).append("1").append(wire::AT_COLUMN);
    return answer_unreadable(fault.append(std::to_string(MAX_LINE + 1)), line);
}

// Writes the response `line` holds and empties it, wiping what it held: a revealed password
// must not linger in a buffer that serves the next request.
bool respond(SecretString& line, int output_fd) {
    line += '\n';
    const bool written = write_all(output_fd, line) == 0;
    line.clear();
    return written;
}

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
