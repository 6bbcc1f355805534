#pragma once

// Vault records for tests of storage and state: made up, but read and written like real ones.

#include <string>
#include <string_view>
#include <vector>

#include "crypto/secret.hpp"
#include "vault/records.hpp"

namespace velkaron::testing_support {

// An entry whose sealed values are Base64 of a few bytes: it loads and saves, but opens under no
// key. `ct` makes entries of other sizes.
[[nodiscard]] SealedEntry placeholder_entry(std::string id, std::string ct = "Yw==");

// An entry that opens under `key`. Sealed once per key and id, so that every vault built from
// it has the same bytes.
[[nodiscard]] SealedEntry sealed_entry(const VaultKey& key, const std::string& id);

// A recovery record of made-up values; `ct` tells one apart from another.
[[nodiscard]] Recovery sample_recovery(std::string ct);

// A vault of the current version with the smallest Argon2 costs, a made-up wrapped key, no
// recovery record and `entries`.
[[nodiscard]] VaultFile sample_vault(std::vector<SealedEntry> entries = {placeholder_entry("e1")});

}  // namespace velkaron::testing_support
