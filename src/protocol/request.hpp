#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"

namespace velkaron {

// One request line. Optional members that were absent or null are empty optionals.
struct Request {
    std::uint64_t id = 0;
    std::string op;
    std::optional<std::string> password;
    std::optional<std::string> new_password;
    std::optional<std::string> code;
    std::optional<std::string> entry_id;
    std::optional<std::string> host;
    std::optional<std::string> username;
    std::optional<std::string> title;
    std::optional<bool> secure;
    std::optional<std::uint64_t> length;

    Request() = default;
    Request(Request&&) noexcept = default;
    Request& operator=(Request&&) noexcept = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    ~Request();  // wipes the secret members

    friend bool operator==(const Request&, const Request&) = default;
};

// One framed, non-blank line to a Request, or the description of its first fault.
[[nodiscard]] Result<Request> parse_request(std::string_view line);

}  // namespace velkaron
