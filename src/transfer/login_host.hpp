#pragma once

#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"

namespace velkaron {

// The host a browser's URL parser gives as `hostname` for `url`, which the extension sends:
// lower case, without scheme, user info, port, path, query or fragment, a non-ASCII host in its
// ASCII (punycode) form after UTS #46. Only `http:` and `https:` addresses and bare hosts
// (`example.org:8080/login`, ending at the first `/`, `?`, `#` or `:`) give one; the error is
// the reason the row is skipped.
[[nodiscard]] Result<SecretString> login_host(std::string_view url);

}  // namespace velkaron
