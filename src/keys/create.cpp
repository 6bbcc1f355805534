#include "keys/create.hpp"

#include "crypto/bytes.hpp"
#include "crypto/random.hpp"
#include "keys/master_password.hpp"
#include "keys/recovery_code.hpp"
#include "keys/vault_key_wrap.hpp"
#include "vault/exists.hpp"

namespace velkaron {

Result<SecretString> create_vault(HostState& state, std::string_view password) {
    if (vault_exists(state.path())) return fail("Tresor existiert bereits");
    if (auto valid = check_new_master_password(password); !valid) return fail(valid.error());

    VaultKey vault_key;
    fill_random({vault_key.data(), vault_key.size()});
    auto by_password = wrap_vault_key(vault_key, bytes_of(password), state.kdf_params());
    if (!by_password) return fail(std::move(by_password.error()));
    SecretString code = generate_recovery_code();
    auto by_code =
        wrap_vault_key(vault_key, normalize_recovery_code(code).span(), state.kdf_params());
    if (!by_code) return fail(std::move(by_code.error()));

    // A file that appeared at the path since the check above cannot hold the vault just made,
    // and the save refuses it.
    VaultFile made{
        .version = VAULT_VERSION,
        .kdf = std::move(by_password->kdf),
        .wrapped_key = std::move(by_password->sealed),
        .recovery = Recovery{std::move(by_code->kdf), std::move(by_code->sealed)},
        .entries = {},
    };
    if (auto saved = state.save_new_vault(std::move(made), std::move(vault_key)); !saved)
        return fail(std::move(saved.error()));
    return code;
}

}  // namespace velkaron
