#pragma once

#include <span>
#include <string>
#include <string_view>

namespace velkaron {

// 32 letters a–p: a browser extension's id, the first 128 bits of the SHA-256 of its public
// key, one letter per hexadecimal digit.
[[nodiscard]] bool is_extension_id(std::string_view text) noexcept;

// "chrome-extension://<id>/", the origin a browser names when it starts the host for that
// extension, and the form the host manifest lists them in.
[[nodiscard]] std::string extension_origin(std::string_view id);

// Whether `origin` is the origin of one of the `allowed` extension ids.
[[nodiscard]] bool origin_allowed(std::string_view origin, std::span<const std::string> allowed);

}  // namespace velkaron
