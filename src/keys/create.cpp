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
    VELKARON_TRY(valid, check_new_master_password(password));

    VaultKey vault_key;
    fill_random({vault_key.data(), vault_key.size()});
    VELKARON_TRY(by_password, wrap_vault_key(vault_key, bytes_of(password), state.kdf_params()));
    SecretString code = generate_recovery_code();
    VELKARON_TRY(by_code, wrap_vault_key(vault_key, normalize_recovery_code(code).span(),
                                         state.kdf_params()));

    // A file that appeared at the path since the check above cannot hold the vault just made,
    // and the save refuses it.
    VaultFile made{
        .version = VAULT_VERSION,
        .kdf = std::move(by_password->kdf),
        .wrapped_key = std::move(by_password->sealed),
        .recovery = Recovery{std::move(by_code->kdf), std::move(by_code->sealed)},
        .entries = {},
    };
    VELKARON_TRY(saved, state.save_new_vault(std::move(made), std::move(vault_key)));
    return code;
}

}  // namespace velkaron
