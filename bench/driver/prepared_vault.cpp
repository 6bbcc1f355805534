#include "prepared_vault.hpp"

#include <filesystem>
#include <stdexcept>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "entries/entry.hpp"
#include "entries/entry_id.hpp"
#include "keys/create.hpp"
#include "state/host_state.hpp"
#include "vault/storage.hpp"

namespace velkaron::bench {
namespace {

template <class T>
T checked(Result<T> result, const char* step) {
    if (!result) throw std::runtime_error(std::string(step) + ": " + result.error());
    return std::move(*result);
}

}  // namespace

std::string login_host(std::size_t index) {
    return "site" + std::to_string(index) + ".example.com";
}

std::string login_username(std::size_t index) {
    return "user" + std::to_string(index) + "@mail.example";
}

PreparedVault prepare_vault(const std::string& path, std::size_t count) {
    // Adding the logins one `put` at a time would save the growing file once per login;
    // sealing them in memory and saving once gives the same file.
    HostState state(path);
    PreparedVault prepared;
    prepared.path = path;
    prepared.count = count;
    prepared.recovery_code = checked(create_vault(state, MASTER_PASSWORD), "create").view();
    prepared.key = state.key()->copy();
    state.vault()->entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Entry entry;
        entry.host = login_host(i);
        entry.username = login_username(i);
        entry.password = "Xq7!pW2#vL9$mR4&kT8z";
        entry.title = "Login " + std::to_string(i);
        entry.created_at = entry.updated_at = 1700000000 + i;
        const SecretString plaintext = checked(write_entry(entry), "write entry");
        std::string id = new_entry_id();
        Sealed sealed = checked(seal(prepared.key, bytes_of(plaintext.view()), id), "seal");
        prepared.last_id = id;
        state.vault()->entries.push_back(SealedEntry{std::move(id), std::move(sealed)});
    }
    // The file is the one create has just written, so there is no change to make again.
    if (auto saved = state.change_vault([](VaultFile&) { return Status{}; }); !saved)
        throw std::runtime_error("save: " + saved.error());
    prepared.file_bytes = std::filesystem::file_size(path);
    return prepared;
}

}  // namespace velkaron::bench
