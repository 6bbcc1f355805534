#include "crypto/derive_key.hpp"

#include <cstdint>
#include <optional>
#include <string>

#include "base/available_memory.hpp"
#include "base/wire_texts.hpp"
#include "crypto/argon2id.hpp"

namespace velkaron {
namespace {

constexpr std::uint32_t MIN_MEMORY_KIB = 8;
constexpr std::uint64_t MIN_MEMORY_KIB_PER_LANE = 8;
constexpr std::uint32_t MAX_LANES = 0xFFFFFF;
constexpr std::size_t MIN_SALT_BYTES = 8;
constexpr std::uint64_t MAX_INPUT_BYTES = 0xFFFFFFFF;  // lengths enter the hash as 32 bits
constexpr std::uint64_t BLOCK_BYTES = 1024;
// Bound on memory blocks x passes, the work of one derivation: 64 GiB of block passes. Measured
// here, the libsodium path takes about 0.5 ms and the libargon2 path about 1 ms per MiB and
// pass, so this is 30 to 70 seconds; the vaults we write need 64 MiB x 3, 1/341 of it. Lanes run
// one after another on one thread and split the memory, so they add no work.
constexpr std::uint64_t MAX_WORK_BLOCK_PASSES = std::uint64_t{64} << 20;

std::optional<std::string_view> parameter_fault(const KdfParams& params) {
    if (params.memory_kib < MIN_MEMORY_KIB ||
        params.memory_kib < MIN_MEMORY_KIB_PER_LANE * params.parallelism) {
        return wire::MEMORY_COST_TOO_SMALL;
    }
    if (params.iterations == 0) return wire::TIME_COST_TOO_SMALL;
    if (params.parallelism == 0) return wire::NOT_ENOUGH_THREADS;
    if (params.parallelism > MAX_LANES) return wire::TOO_MANY_THREADS;
    return std::nullopt;
}

constexpr std::string_view INVALID_PARAMETERS = "ungültige KDF-Parameter: ";

std::string invalid_parameters(std::string_view fault) {
    return std::string(INVALID_PARAMETERS).append(fault);
}

// RFC 9106 rounds the memory down to a multiple of 4 blocks per lane.
std::uint64_t work_memory_bytes(const KdfParams& params) {
    const std::uint64_t quantum = std::uint64_t{4} * params.parallelism;
    return params.memory_kib / quantum * quantum * BLOCK_BYTES;
}

// A file asking for billions of passes would keep `unlock` busy for hours.
bool work_too_large(const KdfParams& params) {
    return work_memory_bytes(params) / BLOCK_BYTES * params.iterations > MAX_WORK_BLOCK_PASSES;
}

bool work_memory_fits(const KdfParams& params) {
    const auto available = available_memory();
    return !available || work_memory_bytes(params) <= *available;
}

std::optional<std::string_view> input_fault(std::span<const unsigned char> secret,
                                            std::span<const unsigned char> salt) {
    if (secret.size() > MAX_INPUT_BYTES) return wire::PASSWORD_TOO_LONG;
    if (salt.size() < MIN_SALT_BYTES) return wire::SALT_TOO_SHORT;
    if (salt.size() > MAX_INPUT_BYTES) return wire::SALT_TOO_LONG;
    return std::nullopt;
}

}  // namespace

Result<Key32> derive_key(std::span<const unsigned char> secret, std::span<const unsigned char> salt,
                         const KdfParams& params) {
    if (const auto fault = parameter_fault(params)) {
        return fail(invalid_parameters(*fault));
    }
    // A vault file may ask for up to 4 TiB: refuse what would get the process killed.
    if (!work_memory_fits(params)) return fail(derivation_failed(wire::ALLOCATION_FAILED));
    if (const auto fault = input_fault(secret, salt)) return fail(derivation_failed(*fault));
    if (work_too_large(params)) {
        return fail(invalid_parameters(wire::WORK_TOO_LARGE));
    }

    const auto backend =
        libsodium_takes(secret, salt, params) ? Argon2Backend::libsodium : Argon2Backend::libargon2;
    return argon2id(backend, secret, salt, params);
}

}  // namespace velkaron
