#include "native/extension_id.hpp"

#include <algorithm>

namespace velkaron {
namespace {

constexpr std::size_t EXTENSION_ID_LEN = 32;

}  // namespace

bool is_extension_id(std::string_view text) noexcept {
    return text.size() == EXTENSION_ID_LEN &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'p'; });
}

std::string extension_origin(std::string_view id) {
    return "chrome-extension://" + std::string(id) + "/";
}

bool origin_allowed(std::string_view origin, std::span<const std::string> allowed) {
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](const std::string& id) { return extension_origin(id) == origin; });
}

}  // namespace velkaron
