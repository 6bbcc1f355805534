// A vault document through parse_vault and back through serialize_vault. Whatever reads must
// write, read back to the same records, and write the same bytes again; every fault carries
// the reader's position.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vault/vault_json.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto vault = velkaron::parse_vault(text);
    if (!vault) {
        if (vault.error().find(" at line ") == std::string::npos) std::abort();
        return 0;
    }
    const std::string written = velkaron::serialize_vault(*vault);
    const auto again = velkaron::parse_vault(written);
    if (!again || !(*again == *vault)) std::abort();
    if (velkaron::serialize_vault(*again) != written) std::abort();
    return 0;
}
