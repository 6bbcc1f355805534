#include "keys/master_password.hpp"

#include <algorithm>

namespace velkaron {
namespace {

// The text is valid UTF-8 (requests are checked on arrival): each character has exactly one
// byte that is not a continuation byte.
std::size_t count_characters(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

Status check_new_master_password(std::string_view utf8) {
    if (count_characters(utf8) < MIN_MASTER_PASSWORD_CHARS) {
        return fail("Master-Passwort braucht mindestens " +
                    std::to_string(MIN_MASTER_PASSWORD_CHARS) + " Zeichen");
    }
    return {};
}

}  // namespace velkaron
