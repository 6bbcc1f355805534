// Sealing and unsealing one value at the sizes the vault holds: about 100 bytes (a short
// login) and 1 KiB (a long one). Both include the Base64 of nonce and ciphertext, as in use.

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <vector>

#include "crypto/seal.hpp"
#include "crypto/sodium.hpp"

namespace velkaron {
namespace {

constexpr std::string_view AD = "0f8fad5b-d9cb-469f-a165-70867728950e";

Key32 bench_key() {
    init_sodium();
    Key32 key;
    randombytes_buf(key.data(), Key32::size());
    return key;
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(100)->Arg(1024);
}

void BM_Seal(benchmark::State& run) {
    const Key32 key = bench_key();
    const std::vector<unsigned char> plaintext(static_cast<std::size_t>(run.range(0)), 'p');
    for (auto _ : run) {
        auto sealed = seal(key, plaintext, AD);
        if (!sealed) run.SkipWithError(sealed.error().c_str());
        benchmark::DoNotOptimize(sealed);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * run.range(0));
}
BENCHMARK(BM_Seal)->Apply(sizes);

void BM_Unseal(benchmark::State& run) {
    const Key32 key = bench_key();
    const std::vector<unsigned char> plaintext(static_cast<std::size_t>(run.range(0)), 'p');
    const auto sealed = seal(key, plaintext, AD);
    if (!sealed) throw std::runtime_error(sealed.error());
    for (auto _ : run) {
        auto opened = unseal(*sealed, key, AD);
        if (!opened || opened->size() != plaintext.size()) run.SkipWithError("unseal failed");
        benchmark::DoNotOptimize(opened);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * run.range(0));
}
BENCHMARK(BM_Unseal)->Apply(sizes);

}  // namespace
}  // namespace velkaron
