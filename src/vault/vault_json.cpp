#include "vault/vault_json.hpp"

#include <array>

#include "json/reader.hpp"
#include "json/writer.hpp"

namespace velkaron {
namespace {

using json::field;

constexpr auto KDF_FIELDS = json::field_table(
    field<&KdfRecord::algorithm>("algorithm"), field<&KdfRecord::memory_kib>("memory_kib"),
    field<&KdfRecord::iterations>("iterations"), field<&KdfRecord::parallelism>("parallelism"),
    field<&KdfRecord::salt>("salt"));
constexpr json::Schema<KdfRecord> KDF_SCHEMA{"struct KdfRecord", KDF_FIELDS, json::ALL_MEMBERS};

constexpr auto SEALED_FIELDS =
    json::field_table(field<&Sealed::nonce>("nonce"), field<&Sealed::ct>("ct"));
constexpr json::Schema<Sealed> SEALED_SCHEMA{"struct Sealed", SEALED_FIELDS, json::ALL_MEMBERS};

constexpr auto ENTRY_FIELDS = json::field_table(
    field<&SealedEntry::id>("id"), field<&SealedEntry::sealed, &Sealed::nonce>("nonce"),
    field<&SealedEntry::sealed, &Sealed::ct>("ct"));
constexpr json::Schema<SealedEntry> ENTRY_SCHEMA{"struct SealedEntry", ENTRY_FIELDS};

constexpr auto RECOVERY_FIELDS = json::field_table(
    field<&Recovery::kdf>("kdf", &KDF_SCHEMA), field<&Recovery::sealed, &Sealed::nonce>("nonce"),
    field<&Recovery::sealed, &Sealed::ct>("ct"));
constexpr json::Schema<Recovery> RECOVERY_SCHEMA{"struct Recovery", RECOVERY_FIELDS};

// `recovery` is optional, so it may be missing or null in the object form; the array form
// still needs all five elements.
constexpr auto VAULT_FIELDS = json::field_table(
    field<&VaultFile::version>("version"), field<&VaultFile::kdf>("kdf", &KDF_SCHEMA),
    field<&VaultFile::wrapped_key>("wrapped_key", &SEALED_SCHEMA),
    field<&VaultFile::recovery>("recovery", &RECOVERY_SCHEMA),
    field<&VaultFile::entries>("entries", &ENTRY_SCHEMA));
constexpr json::Schema<VaultFile> VAULT_SCHEMA{"struct VaultFile", VAULT_FIELDS, json::ALL_MEMBERS};

// The writer streams into one buffer: building a document tree first costs about ten times
// as much, and this runs on every save.

// The records hold only UTF-8 (a loaded file is checked whole, request lines are checked
// before they are read), so the writer's refusal of anything else cannot happen here.
void append_string(std::string& out, std::string_view text) {
    [[maybe_unused]] const bool utf8 = json::append_string(out, text);
}

void append_u32(std::string& out, std::uint32_t value) {
    out += std::to_string(value);
}

void append_kdf(std::string& out, const KdfRecord& kdf) {
    out += R"({"algorithm":)";
    append_string(out, kdf.algorithm);
    out += R"(,"memory_kib":)";
    append_u32(out, kdf.memory_kib);
    out += R"(,"iterations":)";
    append_u32(out, kdf.iterations);
    out += R"(,"parallelism":)";
    append_u32(out, kdf.parallelism);
    out += R"(,"salt":)";
    append_string(out, kdf.salt);
    out += '}';
}

// `nonce` and `ct` without braces: inline in entries and in the recovery record.
void append_sealed_members(std::string& out, const Sealed& sealed) {
    out += R"("nonce":)";
    append_string(out, sealed.nonce);
    out += R"(,"ct":)";
    append_string(out, sealed.ct);
}

std::size_t expected_size(const VaultFile& vault) {
    std::size_t size = 512;
    for (const SealedEntry& entry : vault.entries) {
        size += 32 + entry.id.size() + entry.sealed.nonce.size() + entry.sealed.ct.size();
    }
    return size;
}

}  // namespace

std::string serialize_vault(const VaultFile& vault) {
    std::string out;
    out.reserve(expected_size(vault));
    out += R"({"version":)";
    append_u32(out, vault.version);
    out += R"(,"kdf":)";
    append_kdf(out, vault.kdf);
    out += R"(,"wrapped_key":{)";
    append_sealed_members(out, vault.wrapped_key);
    out += R"(},"recovery":)";
    if (vault.recovery) {
        out += R"({"kdf":)";
        append_kdf(out, vault.recovery->kdf);
        out += ',';
        append_sealed_members(out, vault.recovery->sealed);
        out += '}';
    } else {
        out += "null";
    }
    out += R"(,"entries":[)";
    for (std::size_t i = 0; i < vault.entries.size(); ++i) {
        if (i > 0) out += ',';
        out += R"({"id":)";
        append_string(out, vault.entries[i].id);
        out += ',';
        append_sealed_members(out, vault.entries[i].sealed);
        out += '}';
    }
    out += "]}";
    return out;
}

Result<VaultFile> parse_vault(std::string_view text) {
    return json::read_record(text, VAULT_SCHEMA);
}

}  // namespace velkaron
