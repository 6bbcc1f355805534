#include "support/sample_vault.hpp"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"

namespace velkaron::testing_support {
namespace {

// A function rather than a constant: tests build vaults during static initialisation.
KdfRecord sample_kdf() {
    return KdfRecord{"argon2id", 8, 1, 1, "c2FsdHNhbHRzYWx0c2FsdA=="};
}

}  // namespace

SealedEntry placeholder_entry(std::string id, std::string ct) {
    return SealedEntry{std::move(id), Sealed{"bg==", std::move(ct)}};
}

SealedEntry sealed_entry(const VaultKey& key, const std::string& id) {
    static std::map<std::pair<std::string, std::string>, SealedEntry> sealed_before;
    const std::string key_bytes(reinterpret_cast<const char*>(key.data()), KEY_LEN);
    const auto [it, added] = sealed_before.try_emplace({key_bytes, id});
    if (added) {
        auto sealed = seal(key.copy(), bytes_of("login " + id), id);
        EXPECT_TRUE(sealed.has_value());
        it->second = SealedEntry{id, sealed.value_or(Sealed{})};
    }
    return it->second;
}

Recovery sample_recovery(std::string ct) {
    return Recovery{sample_kdf(), Sealed{"bm9uY2U=", std::move(ct)}};
}

VaultFile sample_vault(std::vector<SealedEntry> entries) {
    VaultFile vault;
    vault.version = VAULT_VERSION;
    vault.kdf = sample_kdf();
    vault.wrapped_key = Sealed{"bm9uY2U=", "Y3Q="};
    vault.entries = std::move(entries);
    return vault;
}

}  // namespace velkaron::testing_support
