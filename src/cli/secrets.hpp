#pragma once

// Where the secrets of a command come from: the terminal without echo, or with
// --password-stdin one line each from standard input, in the order the command asks for them.
// Never from an argument or the environment.

#include <string_view>

#include "base/secret_string.hpp"
#include "cli/outcome.hpp"

namespace velkaron::cli {

inline constexpr std::string_view PROMPT_MASTER = "Master-Passwort: ";
inline constexpr std::string_view PROMPT_NEW_MASTER = "Neues Master-Passwort: ";
inline constexpr std::string_view PROMPT_REPEAT_MASTER = "Neues Master-Passwort wiederholen: ";
inline constexpr std::string_view PROMPT_LOGIN = "Passwort des Logins: ";
inline constexpr std::string_view PROMPT_CODE = "Wiederherstellungscode: ";

class SecretSource {
  public:
    explicit SecretSource(bool from_stdin) : from_stdin_(from_stdin) {}

    // The next secret: the terminal's answer to `prompt`, or the next line of standard input.
    [[nodiscard]] Outcome<SecretString> next(std::string_view prompt);

    // A new master password; on the terminal asked twice, and both must agree.
    [[nodiscard]] Outcome<SecretString> new_master_password();

  private:
    bool from_stdin_;
};

}  // namespace velkaron::cli
