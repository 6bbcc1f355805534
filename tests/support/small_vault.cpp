#include "support/small_vault.hpp"

#include <gtest/gtest.h>

#include "entries/open_entry.hpp"
#include "keys/create.hpp"
#include "keys/unlock.hpp"
#include "support/keys_fixture.hpp"

namespace velkaron::testing_support {

std::string create_small_vault(const std::string& path) {
    HostState state(path, SMALL_KDF);
    const auto code = create_vault(state, PASSWORD);
    EXPECT_TRUE(code.has_value()) << code.error();
    return code ? std::string(code->view()) : std::string();
}

Result<Logins> open_vault_file(const std::string& path, std::string_view password) {
    HostState state(path);
    if (auto unlocked = unlock_vault(state, password.empty() ? PASSWORD : password); !unlocked)
        return fail(unlocked.error());
    Logins logins;
    for (const SealedEntry& stored : state.vault()->entries) {
        auto entry = open_entry(state, stored);
        if (!entry) return fail(stored.id + ": " + entry.error());
        logins.push_back({stored.id, std::string(entry->password.view())});
    }
    return logins;
}

}  // namespace velkaron::testing_support
