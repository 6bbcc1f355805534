// Typed recovery codes through normalize_recovery_code: what comes out is the typed text's
// ASCII letters and digits, upper case and in order, and normalising again changes nothing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "keys/recovery_code.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view typed(reinterpret_cast<const char*>(data), size);
    std::string expected;
    for (const char c : typed) {
        if (c >= 'a' && c <= 'z') expected += static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) expected += c;
    }
    const velkaron::SecretBytes normalized = velkaron::normalize_recovery_code(typed);
    if (normalized.view() != expected) std::abort();
    if (velkaron::normalize_recovery_code(normalized.view()).view() != expected) std::abort();
    return 0;
}
