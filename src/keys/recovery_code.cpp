#include "keys/recovery_code.hpp"

#include <algorithm>

#include "crypto/random.hpp"

namespace velkaron {
namespace {

constexpr std::size_t CODE_CHARS = 20;
constexpr std::size_t GROUP_CHARS = 4;

bool is_ascii_alphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char to_ascii_upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

SecretString generate_recovery_code() {
    static_assert(RECOVERY_CODE_ALPHABET.size() == 32, "a byte's low five bits pick a character");
    const SecretBytes random = random_bytes(CODE_CHARS);
    SecretString code;
    code.reserve(CODE_CHARS + CODE_CHARS / GROUP_CHARS - 1);
    for (std::size_t i = 0; i < CODE_CHARS; ++i) {
        if (i != 0 && i % GROUP_CHARS == 0) code += '-';
        code += RECOVERY_CODE_ALPHABET[random.data()[i] % RECOVERY_CODE_ALPHABET.size()];
    }
    return code;
}

// Every byte of a non-ASCII character in UTF-8 is above 0x7F, so filtering bytes drops whole
// non-ASCII characters, as filtering characters would.
SecretBytes normalize_recovery_code(std::string_view typed) {
    SecretBytes normalized(
        static_cast<std::size_t>(std::count_if(typed.begin(), typed.end(), is_ascii_alphanumeric)));
    auto* out = reinterpret_cast<char*>(normalized.data());
    for (const char c : typed) {
        if (is_ascii_alphanumeric(c)) *out++ = to_ascii_upper(c);
    }
    return normalized;
}

}  // namespace velkaron
