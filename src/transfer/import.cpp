#include "transfer/import.hpp"

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "entries/clock.hpp"
#include "entries/entry_id.hpp"
#include "entries/open_entry.hpp"
#include "state/vault_access.hpp"
#include "transfer/csv_file.hpp"
#include "transfer/dialect.hpp"

namespace velkaron {
namespace {

constexpr char TOO_LARGE[] = "Datei zu groß: höchstens 16 MiB";
static_assert(MAX_IMPORT_BYTES == std::size_t{16} << 20, "TOO_LARGE names the limit");

Result<MappedRows> read_rows(std::string_view base64) {
    const auto bytes = base64_decode_secret(base64);
    if (!bytes) return fail("Datei nicht lesbar: kein Base64 (Standardalphabet mit Auffüllung)");
    if (bytes->size() > MAX_IMPORT_BYTES) return fail(TOO_LARGE);
    VELKARON_TRY(table, read_csv(bytes->view()));
    VELKARON_TRY(dialect, dialect_of(table->header.fields));
    return map_rows(std::move(*table), *dialect);
}

// The entry `write` makes: a new login, or the stored one with the imported password (and
// title, where the file gives one), keeping its id, host, user name and creation time.
Result<Entry> planned_entry(const HostState& state, const VaultFile& vault,
                            const ImportedLogin& login, const PlannedWrite& write,
                            std::uint64_t now) {
    if (write.stored) {
        auto entry = open_entry(state, vault.entries[*write.stored]);
        if (!entry) return entry;
        entry->password = login.password;
        if (!login.title.empty()) entry->title = login.title;
        entry->updated_at = login.updated_at.value_or(now);
        return entry;
    }
    Entry entry;
    entry.host = login.host;
    entry.username = login.username;
    entry.password = login.password;
    entry.title = login.title;
    entry.created_at = login.created_at.value_or(now);
    entry.updated_at = login.updated_at.value_or(now);
    return entry;
}

Status make_writes(const HostState& state, VaultFile& vault, std::span<const ImportedLogin> logins,
                   const ImportPlan& plan) {
    const std::uint64_t now = unix_seconds();
    const Key32 key = state.key()->copy();
    vault.entries.reserve(vault.entries.size() + plan.writes.size());
    for (const PlannedWrite& write : plan.writes) {
        VELKARON_TRY(entry, planned_entry(state, vault, logins[write.login], write, now));
        const auto plaintext = write_entry(*entry);
        if (!plaintext) return fail("Eintrag nicht serialisierbar: " + plaintext.error());
        std::string id = write.stored ? vault.entries[*write.stored].id : new_entry_id();
        VELKARON_TRY(sealed, seal(key, bytes_of(plaintext->view()), id));
        if (write.stored) {
            vault.entries[*write.stored].sealed = std::move(*sealed);
        } else {
            vault.entries.push_back(SealedEntry{std::move(id), std::move(*sealed)});
        }
    }
    return {};
}

ImportSummary summary_of(ImportPlan&& plan, MappedRows&& rows) {
    return ImportSummary{std::move(plan.counts), std::move(rows.skipped),
                         std::move(rows.notes_dropped)};
}

}  // namespace

Result<ImportSummary> import_file(HostState& state, std::string_view base64, bool replace) {
    VELKARON_TRY(vault, unlocked_vault(state));
    VELKARON_TRY(rows, read_rows(base64));
    const std::span<const ImportedLogin> logins = rows->logins;

    ImportPlan plan = plan_import(state, **vault, logins, replace);
    if (plan.writes.empty()) return summary_of(std::move(plan), std::move(*rows));

    // The plan made on the vault in memory is made first; a newer vault file another client
    // wrote gets a plan of its own, and the answer is the plan that was saved.
    bool planned_here = true;
    const VaultChange change = [&](VaultFile& target) -> Status {
        if (!planned_here) plan = plan_import(state, target, logins, replace);
        planned_here = false;
        return make_writes(state, target, logins, plan);
    };
    // All or nothing: a save that fails leaves no part of the import in memory either.
    VELKARON_TRY(saved, state.change_vault_or_nothing(change));
    return summary_of(std::move(plan), std::move(*rows));
}

}  // namespace velkaron
