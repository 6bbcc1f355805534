// derive_key with the costs of every new record (64 MiB, 3 passes, 1 lane, 16-byte salt): as the
// program runs it (libsodium), through its libargon2 back end, and libargon2's argon2_ctx called
// directly on the same inputs.

#include <argon2.h>
#include <benchmark/benchmark.h>

#include <array>

#include "crypto/argon2id.hpp"
#include "crypto/bytes.hpp"
#include "crypto/derive_key.hpp"

namespace velkaron {
namespace {

constexpr std::string_view SECRET = "Korrekt Pferd Batterie Heftklammer";
constexpr std::array<unsigned char, SALT_LEN> SALT{1, 2,  3,  4,  5,  6,  7,  8,
                                                   9, 10, 11, 12, 13, 14, 15, 16};

void derive_key_as_used(benchmark::State& state) {
    for (auto _ : state) {
        auto key = derive_key(bytes_of(SECRET), SALT, DEFAULT_KDF_PARAMS);
        if (!key) state.SkipWithError(key.error().c_str());
        benchmark::DoNotOptimize(key);
    }
}

void derive_key_libargon2_backend(benchmark::State& state) {
    for (auto _ : state) {
        auto key = argon2id(Argon2Backend::libargon2, bytes_of(SECRET), SALT, DEFAULT_KDF_PARAMS);
        if (!key) state.SkipWithError(key.error().c_str());
        benchmark::DoNotOptimize(key);
    }
}

void libargon2_argon2_ctx(benchmark::State& state) {
    std::array<unsigned char, 32> out{};
    std::array<unsigned char, SECRET.size()> secret{};
    std::copy(SECRET.begin(), SECRET.end(), secret.begin());
    std::array<unsigned char, SALT_LEN> salt = SALT;
    for (auto _ : state) {
        argon2_context context{};
        context.out = out.data();
        context.outlen = out.size();
        context.pwd = secret.data();
        context.pwdlen = secret.size();
        context.salt = salt.data();
        context.saltlen = salt.size();
        context.t_cost = DEFAULT_KDF_PARAMS.iterations;
        context.m_cost = DEFAULT_KDF_PARAMS.memory_kib;
        context.lanes = DEFAULT_KDF_PARAMS.parallelism;
        context.threads = 1;
        context.version = ARGON2_VERSION_13;
        if (argon2_ctx(&context, Argon2_id) != ARGON2_OK) state.SkipWithError("argon2_ctx failed");
        benchmark::DoNotOptimize(out);
    }
}

BENCHMARK(derive_key_as_used)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(derive_key_libargon2_backend)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(libargon2_argon2_ctx)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
}  // namespace velkaron
