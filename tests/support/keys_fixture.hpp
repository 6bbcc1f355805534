#pragma once

#include <gtest/gtest.h>

#include <string>

#include "state/host_state.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron::testing_support {

// Argon2 costs that keep a derivation well under a millisecond.
inline constexpr KdfParams SMALL_KDF{8, 1, 1};
inline constexpr const char* PASSWORD = "richtig-langes-passwort";

// A host state on a fresh vault path in a temporary directory, with small costs.
class KeysTest : public testing::Test {
  protected:
    [[nodiscard]] VaultFile file_vault() const {
        auto vault = parse_vault(read_file(state.path()));
        EXPECT_TRUE(vault.has_value()) << vault.error();
        return vault ? std::move(*vault) : VaultFile{};
    }

    TempDir dir;
    HostState state{dir.file("tresor.json"), SMALL_KDF};
};

}  // namespace velkaron::testing_support
