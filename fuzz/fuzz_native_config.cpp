// velkaron-native's configuration file through parse_config: what it accepts holds only an
// absolute vault path and valid extension ids, and writes as config_text and reads back to the
// same configuration; what it refuses it refuses with a message.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "native/extension_id.hpp"
#include "native/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto config = velkaron::parse_config(text);
    if (!config) {
        if (config.error().empty()) std::abort();
        return 0;
    }
    if (config->vault && !config->vault->starts_with('/')) std::abort();
    for (const auto& id : config->allowed_extensions) {
        if (!velkaron::is_extension_id(id) && !velkaron::is_gecko_id(id)) std::abort();
    }
    const auto again = velkaron::parse_config(velkaron::config_text(*config));
    if (!again || *again != *config) std::abort();
    return 0;
}
