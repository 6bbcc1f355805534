#include "crypto/argon2id.hpp"

#include <argon2.h>
#include <sodium.h>

#include <cstdint>

#include "base/wire_texts.hpp"
#include "crypto/sodium.hpp"

namespace velkaron {
namespace {

Result<Key32> with_libsodium(std::span<const unsigned char> secret,
                             std::span<const unsigned char> salt, const KdfParams& params) {
    init_sodium();
    // The library takes no null pointer, not even for an empty secret.
    const char* password = secret.empty() ? "" : reinterpret_cast<const char*>(secret.data());
    Key32 key;
    const int rc = crypto_pwhash(key.data(), key.size(), password, secret.size(), salt.data(),
                                 params.iterations, std::size_t{params.memory_kib} * 1024,
                                 crypto_pwhash_ALG_ARGON2ID13);
    // With libsodium_takes holding, running out of memory is its only failure.
    if (rc != 0) return fail(derivation_failed(wire::ALLOCATION_FAILED));
    return key;
}

Result<Key32> with_libargon2(std::span<const unsigned char> secret,
                             std::span<const unsigned char> salt, const KdfParams& params) {
    Key32 key;
    argon2_context context{};
    context.out = key.data();
    context.outlen = static_cast<std::uint32_t>(key.size());
    // The library only reads these; the flags below keep it from wiping them.
    context.pwd = const_cast<unsigned char*>(secret.data());
    context.pwdlen = static_cast<std::uint32_t>(secret.size());
    context.salt = const_cast<unsigned char*>(salt.data());
    context.saltlen = static_cast<std::uint32_t>(salt.size());
    context.t_cost = params.iterations;
    context.m_cost = params.memory_kib;
    context.lanes = params.parallelism;
    context.threads = 1;                   // lanes one after another, on this thread
    context.version = ARGON2_VERSION_13;   // left at 0 the library silently computes 0x10
    context.flags = ARGON2_DEFAULT_FLAGS;  // clears neither password nor secret
    const int rc = argon2_ctx(&context, Argon2_id);
    if (rc == ARGON2_MEMORY_ALLOCATION_ERROR)
        return fail(derivation_failed(wire::ALLOCATION_FAILED));
    if (rc != ARGON2_OK) return fail(derivation_failed(argon2_error_message(rc)));
    return key;
}

}  // namespace

std::string derivation_failed(std::string_view detail) {
    return "Schlüsselableitung fehlgeschlagen: " + std::string(detail);
}

bool libsodium_takes(std::span<const unsigned char> secret, std::span<const unsigned char> salt,
                     const KdfParams& params) noexcept {
    const std::uint64_t memory_bytes = std::uint64_t{params.memory_kib} * 1024;
    return params.parallelism == 1 && salt.size() == crypto_pwhash_argon2id_SALTBYTES &&
           secret.size() <= crypto_pwhash_argon2id_PASSWD_MAX &&
           params.iterations >= crypto_pwhash_argon2id_OPSLIMIT_MIN &&
           params.iterations <= crypto_pwhash_argon2id_OPSLIMIT_MAX &&
           memory_bytes >= crypto_pwhash_argon2id_MEMLIMIT_MIN &&
           memory_bytes <= crypto_pwhash_argon2id_MEMLIMIT_MAX;
}

Result<Key32> argon2id(Argon2Backend backend, std::span<const unsigned char> secret,
                       std::span<const unsigned char> salt, const KdfParams& params) {
    return backend == Argon2Backend::libsodium ? with_libsodium(secret, salt, params)
                                               : with_libargon2(secret, salt, params);
}

}  // namespace velkaron
