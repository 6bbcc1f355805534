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
// as much, and this runs on every save. Each object is written in the order its reader's
// table declares. The records hold only UTF-8 (a loaded file is checked whole, request lines
// are checked before they are read), so the writer's refusal of anything else cannot happen
// here.
using Writer = json::BasicDataWriter<std::string>;
using Object = json::ObjectWriter<std::string>;

void write_kdf(Writer& out, const KdfRecord& kdf) {
    Object object(out, json::MemberOrder(KDF_FIELDS));
    object.member("algorithm").string(kdf.algorithm);
    object.member("memory_kib").number(kdf.memory_kib);
    object.member("iterations").number(kdf.iterations);
    object.member("parallelism").number(kdf.parallelism);
    object.member("salt").string(kdf.salt);
    object.close();
}

// `nonce` and `ct`, which stand inline in entries and in the recovery record.
void write_sealed_members(Object& object, const Sealed& sealed) {
    object.member("nonce").string(sealed.nonce);
    object.member("ct").string(sealed.ct);
}

void write_sealed(Writer& out, const Sealed& sealed) {
    Object object(out, json::MemberOrder(SEALED_FIELDS));
    write_sealed_members(object, sealed);
    object.close();
}

void write_recovery(Writer& out, const std::optional<Recovery>& recovery) {
    if (!recovery) return out.null();
    Object object(out, json::MemberOrder(RECOVERY_FIELDS));
    write_kdf(object.member("kdf"), recovery->kdf);
    write_sealed_members(object, recovery->sealed);
    object.close();
}

void write_entries(Writer& out, const std::vector<SealedEntry>& entries) {
    json::ArrayWriter list(out);
    for (const SealedEntry& entry : entries) {
        Object object(list.element(), json::MemberOrder(ENTRY_FIELDS));
        object.member("id").string(entry.id);
        write_sealed_members(object, entry.sealed);
        object.close();
    }
    list.close();
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
    std::string text;
    text.reserve(expected_size(vault));
    Writer out(text);
    Object object(out, json::MemberOrder(VAULT_FIELDS));
    object.member("version").number(vault.version);
    write_kdf(object.member("kdf"), vault.kdf);
    write_sealed(object.member("wrapped_key"), vault.wrapped_key);
    write_recovery(object.member("recovery"), vault.recovery);
    write_entries(object.member("entries"), vault.entries);
    object.close();
    return text;
}

Result<VaultFile> parse_vault(std::string_view text) {
    return json::read_record(text, VAULT_SCHEMA);
}

}  // namespace velkaron
