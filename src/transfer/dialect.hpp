#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "base/result.hpp"
#include "base/secret_string.hpp"

namespace velkaron {

// Where a CSV file keeps the parts of a login, by column index.
struct Dialect {
    std::size_t url = 0;
    std::size_t password = 0;
    std::optional<std::size_t> username;
    std::optional<std::size_t> title;
    std::optional<std::size_t> note;
    std::optional<std::size_t> created_ms;  // milliseconds since the epoch
    std::optional<std::size_t> changed_ms;

    friend bool operator==(const Dialect&, const Dialect&) = default;
};

// The dialect a header line names, its names compared case-insensitively without surrounding
// spaces; the first column of each kind counts. Chromium's `name,url,username,password,note`
// and Firefox's `url,username,password,httpRealm,…,timeCreated,…,timePasswordChanged` are
// instances of the general rule: a column for the address and one for the password. Refused,
// on line 1, with what was expected.
[[nodiscard]] Result<Dialect> dialect_of(std::span<const SecretString> header);

}  // namespace velkaron
