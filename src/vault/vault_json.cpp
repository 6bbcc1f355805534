#include "vault/vault_json.hpp"

#include <array>

#include <nlohmann/json.hpp>

#include "json/reader.hpp"

namespace velkaron {
namespace {

using json::field;

constexpr std::array KDF_FIELDS{
    field<&KdfRecord::algorithm>("algorithm"),
    field<&KdfRecord::memory_kib>("memory_kib"),
    field<&KdfRecord::iterations>("iterations"),
    field<&KdfRecord::parallelism>("parallelism"),
    field<&KdfRecord::salt>("salt"),
};
constexpr json::Schema KDF_SCHEMA{"struct KdfRecord", KDF_FIELDS, 5,
                                  "struct KdfRecord with 5 elements"};

constexpr std::array SEALED_FIELDS{
    field<&Sealed::nonce>("nonce"),
    field<&Sealed::ct>("ct"),
};
constexpr json::Schema SEALED_SCHEMA{"struct Sealed", SEALED_FIELDS, 2,
                                     "struct Sealed with 2 elements"};

constexpr std::array ENTRY_FIELDS{
    field<&SealedEntry::id>("id"),
    field<&SealedEntry::sealed, &Sealed::nonce>("nonce"),
    field<&SealedEntry::sealed, &Sealed::ct>("ct"),
};
constexpr json::Schema ENTRY_SCHEMA{"struct SealedEntry", ENTRY_FIELDS, 0, {}};

constexpr std::array RECOVERY_FIELDS{
    field<&Recovery::kdf>("kdf", &KDF_SCHEMA),
    field<&Recovery::sealed, &Sealed::nonce>("nonce"),
    field<&Recovery::sealed, &Sealed::ct>("ct"),
};
constexpr json::Schema RECOVERY_SCHEMA{"struct Recovery", RECOVERY_FIELDS, 0, {}};

// `recovery` is optional, so it may be missing or null in the object form; the positional
// form still needs all five elements.
constexpr std::array VAULT_FIELDS{
    field<&VaultFile::version>("version"),
    field<&VaultFile::kdf>("kdf", &KDF_SCHEMA),
    field<&VaultFile::wrapped_key>("wrapped_key", &SEALED_SCHEMA),
    field<&VaultFile::recovery>("recovery", &RECOVERY_SCHEMA),
    field<&VaultFile::entries>("entries", &ENTRY_SCHEMA),
};
constexpr json::Schema VAULT_SCHEMA{"struct VaultFile", VAULT_FIELDS, 5,
                                    "struct VaultFile with 5 elements"};

using Ordered = nlohmann::ordered_json;

Ordered kdf_json(const KdfRecord& kdf) {
    return Ordered{{"algorithm", kdf.algorithm},
                   {"memory_kib", kdf.memory_kib},
                   {"iterations", kdf.iterations},
                   {"parallelism", kdf.parallelism},
                   {"salt", kdf.salt}};
}

Ordered vault_json(const VaultFile& vault) {
    Ordered entries = Ordered::array();
    for (const SealedEntry& entry : vault.entries) {
        entries.push_back(
            Ordered{{"id", entry.id}, {"nonce", entry.sealed.nonce}, {"ct", entry.sealed.ct}});
    }
    Ordered recovery = nullptr;
    if (vault.recovery) {
        recovery = Ordered{{"kdf", kdf_json(vault.recovery->kdf)},
                           {"nonce", vault.recovery->sealed.nonce},
                           {"ct", vault.recovery->sealed.ct}};
    }
    return Ordered{
        {"version", vault.version},
        {"kdf", kdf_json(vault.kdf)},
        {"wrapped_key", Ordered{{"nonce", vault.wrapped_key.nonce}, {"ct", vault.wrapped_key.ct}}},
        {"recovery", std::move(recovery)},
        {"entries", std::move(entries)}};
}

}  // namespace

std::string serialize_vault(const VaultFile& vault) {
    return vault_json(vault).dump(-1, ' ', false);
}

Result<VaultFile> parse_vault(std::string_view text) {
    VaultFile vault;
    if (auto read = json::read(text, VAULT_SCHEMA, &vault); !read) {
        return fail(std::move(read.error()));
    }
    return vault;
}

}  // namespace velkaron
