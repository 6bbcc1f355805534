#include "transfer/export.hpp"

#include <array>

#include "entries/open_entry.hpp"
#include "keys/unlock.hpp"
#include "state/vault_access.hpp"
#include "transfer/csv_writer.hpp"

namespace velkaron {

Result<SecretString> export_csv(HostState& state, std::string_view password) {
    VELKARON_TRY(vault, unlocked_vault(state));
    if (auto key = key_for_password(**vault, password); !key) return fail(std::move(key.error()));
    // Room for about every plaintext at once (Base64 is 4/3 of the bytes it holds), which the
    // records rarely exceed: no growing copy after copy of megabytes.
    std::size_t sealed_bytes = 0;
    for (const SealedEntry& stored : (*vault)->entries) sealed_bytes += stored.sealed.ct.size();
    SecretString csv;
    csv.reserve(sealed_bytes / 4 * 3);
    constexpr std::array<std::string_view, 5> HEADER{"name", "url", "username", "password", "note"};
    append_csv_record(csv, HEADER);
    EntryOpener opener(state);
    SecretString url;
    for (const SealedEntry& stored : (*vault)->entries) {
        VELKARON_TRY(entry, opener.open(stored));
        url = "https://";
        url += (*entry)->host;
        url += '/';
        const std::array<std::string_view, 5> record{(*entry)->title, url, (*entry)->username,
                                                     (*entry)->password, ""};
        append_csv_record(csv, record);
    }
    return csv;
}

}  // namespace velkaron
