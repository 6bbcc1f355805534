// The entry operations that open every stored entry on each call, at 100, 1,000 and 10,000
// entries: list, for-host, and put without entry_id (which searches by host and user name and
// then saves the whole vault). Save alone is measured beside put, so that put's own share shows.

#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "entries/autofill.hpp"
#include "entries/entry.hpp"
#include "entries/operations.hpp"
#include "json/writer.hpp"
#include "state/host_state.hpp"
#include "support/temp_dir.hpp"
#include "vault/storage.hpp"

namespace velkaron {
namespace {

class BenchVault {
  public:
    explicit BenchVault(std::size_t count) : state_(dir_.file("vault.json")) {
        constexpr std::array<unsigned char, KEY_LEN> KEY{42};
        VaultFile empty;
        empty.version = VAULT_VERSION;
        state_.adopt(std::move(empty), std::nullopt);
        if (!state_.unlock(VaultKey(KEY))) throw std::runtime_error("unlock");
        state_.vault()->entries.reserve(count);
        const Key32 key = state_.key()->copy();
        for (std::size_t i = 0; i < count; ++i) {
            Entry entry;
            entry.host = host(i);
            entry.username = "user" + std::to_string(i) + "@mail.example";
            entry.password = "Xq7!pW2#vL9$mR4&kT8z";
            entry.title = "Login " + std::to_string(i);
            entry.created_at = entry.updated_at = 1700000000 + i;
            std::string id = "00000000-0000-4000-8000-" + std::to_string(100000000000 + i);
            const auto plaintext = write_entry(entry);
            auto sealed = seal(key, bytes_of(plaintext->view()), id);
            state_.vault()->entries.push_back(SealedEntry{std::move(id), std::move(*sealed)});
        }
    }
    static std::string host(std::size_t i) { return "site" + std::to_string(i) + ".example.com"; }
    HostState& state() { return state_; }

  private:
    testing_support::TempDir dir_;
    HostState state_;
};

void entry_counts(benchmark::internal::Benchmark* b) {
    b->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
}

void BM_List(benchmark::State& run) {
    BenchVault vault(static_cast<std::size_t>(run.range(0)));
    SecretString line;
    for (auto _ : run) {
        json::DataWriter out(line);
        if (auto listed = list_entries(vault.state(), out); !listed) {
            run.SkipWithError(listed.error().c_str());
        }
        benchmark::DoNotOptimize(line.data());
        line.clear();
    }
}
BENCHMARK(BM_List)->Apply(entry_counts);

void BM_ForHost(benchmark::State& run) {
    const auto count = static_cast<std::size_t>(run.range(0));
    BenchVault vault(count);
    const std::string stored = BenchVault::host(count / 2);
    const std::string requested = "www.login." + stored;
    SecretString line;
    for (auto _ : run) {
        json::DataWriter out(line);
        if (!entries_for_host(vault.state(), requested, out) || line.find(stored) == line.npos) {
            run.SkipWithError("look-up failed");
        }
        benchmark::DoNotOptimize(line.data());
        line.clear();
    }
}
BENCHMARK(BM_ForHost)->Apply(entry_counts);

// The login is the last one stored, so the search opens every entry before it finds it.
void BM_PutWithoutEntryId(benchmark::State& run) {
    const auto count = static_cast<std::size_t>(run.range(0));
    BenchVault vault(count);
    const std::string host = BenchVault::host(count - 1);
    const std::string username = "user" + std::to_string(count - 1) + "@mail.example";
    for (auto _ : run) {
        auto id = put_entry(vault.state(), {.host = host,
                                            .username = username,
                                            .password = "new-password",
                                            .title = "changed",
                                            .entry_id = std::nullopt});
        if (!id) run.SkipWithError(id.error().c_str());
        benchmark::DoNotOptimize(id);
    }
    if (vault.state().vault()->entries.size() != count) run.SkipWithError("put appended");
}
BENCHMARK(BM_PutWithoutEntryId)->Apply(entry_counts);

void BM_SaveVault(benchmark::State& run) {
    BenchVault vault(static_cast<std::size_t>(run.range(0)));
    for (auto _ : run) {
        HostState& state = vault.state();
        if (auto saved = state.change_vault([](VaultFile&) { return Status{}; }); !saved)
            run.SkipWithError(saved.error().c_str());
    }
}
BENCHMARK(BM_SaveVault)->Apply(entry_counts);

}  // namespace
}  // namespace velkaron
