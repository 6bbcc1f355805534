#include "keys/unlock.hpp"

#include "crypto/bytes.hpp"
#include "keys/master_password.hpp"
#include "keys/recovery_code.hpp"
#include "keys/vault_key_wrap.hpp"
#include "state/vault_access.hpp"
#include "vault/storage.hpp"

namespace velkaron {

// Every failure below leaves the loaded vault and any key held before: a wrong password never
// locks an unlocked vault.

Status unlock_vault(HostState& state, std::string_view password) {
    const auto vault = loaded_or_read_vault(state);
    if (!vault) return fail(vault.error());
    auto key = unwrap_vault_key((*vault)->kdf, (*vault)->wrapped_key, bytes_of(password),
                                "Falsches Master-Passwort");
    if (!key) return fail(std::move(key.error()));
    state.key = std::move(*key);  // the key held before is wiped as it is replaced
    return {};
}

Status unlock_with_recovery(HostState& state, std::string_view code) {
    const auto vault = loaded_or_read_vault(state);
    if (!vault) return fail(vault.error());
    if (!(*vault)->recovery) return fail("kein Wiederherstellungscode hinterlegt");
    const Recovery& recovery = *(*vault)->recovery;
    auto key = unwrap_vault_key(recovery.kdf, recovery.sealed, normalize_recovery_code(code).span(),
                                "Wiederherstellungscode stimmt nicht");
    if (!key) return fail(std::move(key.error()));
    state.key = std::move(*key);
    return {};
}

// Once the current password has unlocked the vault it stays unlocked, whatever fails after.
Status change_password(HostState& state, std::string_view current_password,
                       std::string_view new_password) {
    if (auto valid = check_new_master_password(new_password); !valid) return valid;
    if (auto unlocked = unlock_vault(state, current_password); !unlocked) return unlocked;
    auto wrapped = wrap_vault_key(*state.key, bytes_of(new_password), state.kdf_params);
    if (!wrapped) return fail(std::move(wrapped.error()));
    state.vault->kdf = std::move(wrapped->kdf);
    state.vault->wrapped_key = std::move(wrapped->sealed);
    return save_vault(state.path, *state.vault);
}

}  // namespace velkaron
