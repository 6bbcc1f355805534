#pragma once

// The controlling terminal: secrets read with the echo off, and questions read with it on.
// While the echo is off, Ctrl+C, Ctrl+Z, SIGTERM and SIGHUP turn it back on before they take
// effect, so no way out of a prompt leaves the terminal silent.

#include <string>
#include <string_view>

#include "base/secret_string.hpp"
#include "cli/outcome.hpp"

namespace velkaron::cli {

// Whether standard input is a terminal: only then does the program ask anything.
[[nodiscard]] bool stdin_is_terminal() noexcept;

// One line from the terminal, not echoed, after `prompt`.
[[nodiscard]] Outcome<SecretString> read_hidden(std::string_view prompt);

// One line from the terminal, echoed, after `prompt`.
[[nodiscard]] Outcome<std::string> ask(std::string_view prompt);

}  // namespace velkaron::cli
