#include "cli/secrets.hpp"

#include <unistd.h>

#include "base/os_error.hpp"
#include "base/posix.hpp"
#include "cli/terminal.hpp"

namespace velkaron::cli {
namespace {

// One line of standard input, read byte by byte so that the next secret stays in the pipe.
Outcome<SecretString> stdin_line() {
    SecretString line;
    line.reserve(256);
    for (;;) {
        char c = 0;
        const ssize_t got = read_some(STDIN_FILENO, &c, 1);
        if (got < 0) return refused("Standardeingabe nicht lesbar: " + os_error(errno));
        if (got == 0) {
            if (line.empty()) return usage_error("zu wenige Zeilen auf der Standardeingabe");
            break;
        }
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

Outcome<SecretString> SecretSource::next(std::string_view prompt) {
    auto secret = from_stdin_ ? stdin_line() : read_hidden(prompt);
    if (secret && secret->empty()) return usage_error("leere Eingabe");
    return secret;
}

Outcome<SecretString> SecretSource::new_master_password() {
    auto first = next(PROMPT_NEW_MASTER);
    if (!first || from_stdin_) return first;
    auto second = next(PROMPT_REPEAT_MASTER);
    if (!second) return second;
    if (*first != *second) return refused("Die Passwörter stimmen nicht überein");
    return first;
}

}  // namespace velkaron::cli
