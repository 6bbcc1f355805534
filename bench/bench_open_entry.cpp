// Opening one stored login: unseal under its id with the vault key, then read the plaintext.
// list and for-host do this once per stored login, so it bounds them from below.

#include <benchmark/benchmark.h>
#include <sodium.h>

#include <array>
#include <stdexcept>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "crypto/sodium.hpp"
#include "entries/entry.hpp"
#include "entries/open_entry.hpp"
#include "state/host_state.hpp"

namespace velkaron {
namespace {

void BM_OpenEntry(benchmark::State& run) {
    init_sodium();
    HostState state("unused.vault");
    std::array<unsigned char, KEY_LEN> key_bytes{};
    randombytes_buf(key_bytes.data(), key_bytes.size());
    state.adopt(VaultFile{}, std::nullopt);
    if (!state.unlock(VaultKey(key_bytes))) throw std::runtime_error("unlock");
    Entry entry;
    entry.host = "login.example.com";
    entry.username = "someone@mail.example";
    entry.password = "Xq7!pW2#vL9$mR4&kT8z";
    entry.title = "Example login";
    entry.created_at = entry.updated_at = 1700000000;
    const auto plaintext = write_entry(entry);
    if (!plaintext) throw std::runtime_error(plaintext.error());
    const std::string id = "0f8fad5b-d9cb-469f-a165-70867728950e";
    auto sealed = seal(state.key()->copy(), bytes_of(plaintext->view()), id);
    if (!sealed) throw std::runtime_error(sealed.error());
    const SealedEntry stored{id, std::move(*sealed)};
    for (auto _ : run) {
        auto opened = open_entry(state, stored);
        if (!opened) run.SkipWithError(opened.error().c_str());
        benchmark::DoNotOptimize(opened);
    }
}
BENCHMARK(BM_OpenEntry);

}  // namespace
}  // namespace velkaron
