#include "import_floor.hpp"

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "entries/entry.hpp"
#include "entries/entry_id.hpp"
#include "prepared_vault.hpp"
#include "vault/storage.hpp"

namespace velkaron::bench {
namespace {

constexpr std::string_view PASSWORD = "Xq7!pW2#vL9$mR4&kT8z";

std::string title(std::size_t index) {
    return "Login " + std::to_string(index);
}

}  // namespace

std::string import_file(std::size_t count) {
    std::string file = "name,url,username,password,note\n";
    for (std::size_t i = 0; i < count; ++i) {
        file += title(i) + ",https://" + login_host(i) + "/," + login_username(i) + "," +
                std::string(PASSWORD) + ",\n";
    }
    return file;
}

double import_floor_ms(const std::string& empty, const Key32& key, std::size_t count,
                       const std::string& scratch) {
    std::filesystem::copy_file(empty, scratch, std::filesystem::copy_options::overwrite_existing);
    auto loaded = load_vault(scratch);
    if (!loaded) throw std::runtime_error("load_vault: " + loaded.error());
    const VaultKey vault_key(std::span<const unsigned char, KEY_LEN>(key.data(), KEY_LEN));
    std::optional<FileVersion> version = std::move(loaded->version);
    VaultFile& vault = loaded->vault;

    const auto start = std::chrono::steady_clock::now();
    vault.entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Entry entry;
        entry.host = login_host(i);
        entry.username = login_username(i);
        entry.password = PASSWORD;
        entry.title = title(i);
        entry.created_at = entry.updated_at = 1700000000;
        const auto plaintext = write_entry(entry);
        if (!plaintext) throw std::runtime_error("write_entry: " + plaintext.error());
        std::string id = new_entry_id();
        auto sealed = seal(key, bytes_of(plaintext->view()), id);
        if (!sealed) throw std::runtime_error("seal: " + sealed.error());
        vault.entries.push_back(SealedEntry{std::move(id), std::move(*sealed)});
    }
    if (auto saved = save_vault(scratch, vault, version, vault_key, {}); !saved) {
        throw std::runtime_error("save_vault: " + saved.error());
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

}  // namespace velkaron::bench
