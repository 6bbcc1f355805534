#include <benchmark/benchmark.h>

#include <string>

#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

// Sizes of what this program writes: Base64 of a 24-byte nonce, an entry of a few hundred
// bytes sealed, a UUID as id.
VaultFile vault_with(std::size_t entries) {
    VaultFile vault;
    vault.version = VAULT_VERSION;
    vault.kdf = KdfRecord{"argon2id", 65536, 3, 1, std::string(24, 's')};
    vault.wrapped_key = Sealed{std::string(32, 'n'), std::string(64, 'k')};
    vault.recovery = Recovery{vault.kdf, vault.wrapped_key};
    for (std::size_t i = 0; i < entries; ++i) {
        vault.entries.push_back(
            SealedEntry{"0f8fad5b-d9cb-469f-a165-" + std::to_string(100000000000 + i),
                        Sealed{std::string(32, 'n'), std::string(400, 'c')}});
    }
    return vault;
}

void serialise(benchmark::State& state) {
    const VaultFile vault = vault_with(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = serialize_vault(vault);
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void parse(benchmark::State& state) {
    const std::string text = serialize_vault(vault_with(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        auto vault = parse_vault(text);
        if (!vault) state.SkipWithError(vault.error().c_str());
        benchmark::DoNotOptimize(vault);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(serialise)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(parse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkaron
