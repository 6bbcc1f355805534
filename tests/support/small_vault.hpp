#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"

namespace velkaron::testing_support {

// Creates a vault at `path` under the master password of support/keys_fixture.hpp with Argon2
// costs small enough that the binary, which unlocks with the costs stored in the file, opens
// it at once. Gives its recovery code; fails the calling test when creation fails.
std::string create_small_vault(const std::string& path);

// One stored login as the checks below compare it.
struct Login {
    std::string id;
    std::string password;

    friend bool operator==(const Login&, const Login&) = default;
};
using Logins = std::vector<Login>;

// The logins of the vault file at `path`, in file order: read, parsed, unlocked with the
// master password (or `password`) and every entry opened, in this process. The error is the
// first failure.
[[nodiscard]] Result<Logins> open_vault_file(const std::string& path,
                                             std::string_view password = {});

}  // namespace velkaron::testing_support
