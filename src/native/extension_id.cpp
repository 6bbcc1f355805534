#include "native/extension_id.hpp"

#include <algorithm>
#include <cctype>

namespace velkaron {
namespace {

constexpr std::size_t EXTENSION_ID_LEN = 32;
constexpr std::string_view UUID_SHAPE = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";

bool is_gecko_name_char(char c) noexcept {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool is_uuid_in_braces(std::string_view text) noexcept {
    if (text.size() != UUID_SHAPE.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool hex = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
        if (UUID_SHAPE[i] == 'x' ? !hex : text[i] != UUID_SHAPE[i]) return false;
    }
    return true;
}

// Firefox's arguments: the manifest's absolute path and the id, nothing more.
bool is_firefox_call(std::span<const std::string_view> args) noexcept {
    return args.size() == 2 && args[0].starts_with('/');
}

bool contains(std::span<const std::string> allowed, std::string_view id) {
    return std::find(allowed.begin(), allowed.end(), id) != allowed.end();
}

}  // namespace

bool is_extension_id(std::string_view text) noexcept {
    return text.size() == EXTENSION_ID_LEN &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'p'; });
}

bool is_gecko_id(std::string_view text) noexcept {
    if (is_uuid_in_braces(text)) return true;
    const auto at = text.find('@');
    if (at == std::string_view::npos || at + 1 == text.size()) return false;
    const std::string_view name = text.substr(0, at);
    const std::string_view domain = text.substr(at + 1);
    return std::all_of(name.begin(), name.end(), is_gecko_name_char) &&
           std::all_of(domain.begin(), domain.end(), is_gecko_name_char);
}

std::string extension_origin(std::string_view id) {
    return "chrome-extension://" + std::string(id) + "/";
}

std::string_view named_caller(std::span<const std::string_view> args) noexcept {
    if (args.empty()) return {};
    return is_firefox_call(args) ? args[1] : args[0];
}

bool caller_allowed(std::span<const std::string_view> args, std::span<const std::string> allowed) {
    if (is_firefox_call(args)) return is_gecko_id(args[1]) && contains(allowed, args[1]);
    return !args.empty() && std::any_of(allowed.begin(), allowed.end(), [&](const std::string& id) {
        return is_extension_id(id) && extension_origin(id) == args[0];
    });
}

}  // namespace velkaron
