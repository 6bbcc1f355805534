#include "keys/unlock.hpp"

#include "crypto/bytes.hpp"
#include "keys/master_password.hpp"
#include "keys/recovery_code.hpp"
#include "keys/vault_key_wrap.hpp"
#include "state/vault_access.hpp"

namespace velkaron {

// Every failure below leaves the loaded vault and any key held before: a wrong password never
// locks an unlocked vault.

Status unlock_vault(HostState& state, std::string_view password) {
    VELKARON_TRY(vault, loaded_or_read_vault(state));
    VELKARON_TRY(key, unwrap_vault_key((*vault)->kdf, (*vault)->wrapped_key, bytes_of(password),
                                       "Falsches Master-Passwort"));
    return state.unlock(std::move(*key));  // the key held before is wiped as it is replaced
}

Status unlock_with_recovery(HostState& state, std::string_view code) {
    VELKARON_TRY(vault, loaded_or_read_vault(state));
    if (!(*vault)->recovery) return fail("kein Wiederherstellungscode hinterlegt");
    const Recovery& recovery = *(*vault)->recovery;
    VELKARON_TRY(
        key, unwrap_vault_key(recovery.kdf, recovery.sealed, normalize_recovery_code(code).span(),
                              "Wiederherstellungscode stimmt nicht"));
    return state.unlock(std::move(*key));
}

namespace {

// Seals the vault key of an unlocked host under `new_password` and saves. Only the password's
// records: on a file another client has changed meanwhile, its entries and recovery record
// stay as they are there.
Status rewrap_under(HostState& state, std::string_view new_password) {
    VELKARON_TRY(wrapped, wrap_vault_key(*state.key(), bytes_of(new_password), state.kdf_params()));
    return state.change_vault([&](VaultFile& target) -> Status {
        target.kdf = wrapped->kdf;
        target.wrapped_key = wrapped->sealed;
        return {};
    });
}

}  // namespace

// Once the current password (or the code) has unlocked the vault it stays unlocked, whatever
// fails after.
Status change_password(HostState& state, std::string_view current_password,
                       std::string_view new_password) {
    VELKARON_TRY(valid, check_new_master_password(new_password));
    VELKARON_TRY(unlocked, unlock_vault(state, current_password));
    return rewrap_under(state, new_password);
}

Status reset_password(HostState& state, std::string_view code, std::string_view new_password) {
    VELKARON_TRY(valid, check_new_master_password(new_password));
    VELKARON_TRY(unlocked, unlock_with_recovery(state, code));
    return rewrap_under(state, new_password);
}

}  // namespace velkaron
