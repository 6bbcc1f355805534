#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"

namespace velkaron {

// One request line. Optional members that were absent or null are empty optionals. Its texts
// are SecretStrings: passwords and codes, and the login a put stores.
struct Request {
    std::uint64_t id = 0;
    std::string op;
    std::optional<SecretString> password;
    std::optional<SecretString> new_password;
    std::optional<SecretString> code;
    std::optional<SecretString> entry_id;
    std::optional<SecretString> host;
    std::optional<SecretString> username;
    std::optional<SecretString> title;
    std::optional<bool> secure;
    std::optional<std::uint64_t> length;
    // Object form only: an import's file in Base64, and whether it replaces conflicting logins.
    std::optional<SecretString> data;
    std::optional<bool> replace;

    friend bool operator==(const Request&, const Request&) = default;
};

// One framed, non-blank line to a Request, or the description of its first fault.
[[nodiscard]] Result<Request> parse_request(std::string_view line);

}  // namespace velkaron
