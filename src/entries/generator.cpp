#include "entries/generator.hpp"

#include <algorithm>
#include <string_view>

#include "crypto/random.hpp"

namespace velkaron {
namespace {

// No l, I, O, 0 or 1. The order is part of the contract: a byte picks by index, modulo 70.
constexpr std::string_view ALPHABET =
    "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!@#$%^&*-_=+?";
static_assert(ALPHABET.size() == 70);

constexpr std::uint64_t DEFAULT_LENGTH = 20;
constexpr std::uint64_t MIN_LENGTH = 8;
constexpr std::uint64_t MAX_LENGTH = 128;

}  // namespace

SecretString generate_password(std::optional<std::uint64_t> length) {
    const auto size = static_cast<std::size_t>(
        std::clamp(length.value_or(DEFAULT_LENGTH), MIN_LENGTH, MAX_LENGTH));
    const SecretBytes bytes = random_bytes(size);
    SecretString password(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        password[i] = ALPHABET[bytes.data()[i] % ALPHABET.size()];
    return password;
}

}  // namespace velkaron
