#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/secret.hpp"

namespace velkaron::bench {

inline constexpr std::string_view MASTER_PASSWORD = "load-driver master password";

// A vault file made by the project's own code: created with MASTER_PASSWORD, then `count`
// logins sealed into it and saved once. Login i has host "site<i>.example.com" and user name
// "user<i>@mail.example".
struct PreparedVault {
    std::string path;
    std::size_t count = 0;
    std::string recovery_code;
    std::string last_id;  // the id of the last login in file order
    std::uintmax_t file_bytes = 0;
    Key32 key;  // the vault key, for the driver's own opening of the entries
};

[[nodiscard]] PreparedVault prepare_vault(const std::string& path, std::size_t count);

[[nodiscard]] std::string login_host(std::size_t index);
[[nodiscard]] std::string login_username(std::size_t index);

}  // namespace velkaron::bench
