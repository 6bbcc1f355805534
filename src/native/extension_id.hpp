#pragma once

#include <span>
#include <string>
#include <string_view>

namespace velkaron {

// 32 letters a–p: a Chromium extension's id, the first 128 bits of the SHA-256 of its public
// key, one letter per hexadecimal digit.
[[nodiscard]] bool is_extension_id(std::string_view text) noexcept;

// A Firefox extension's id as its manifest declares it: `name@domain` or `{uuid}`. Nothing
// ties it to a key; only the signature of a release add-on vouches for it.
[[nodiscard]] bool is_gecko_id(std::string_view text) noexcept;

// "chrome-extension://<id>/", the origin a browser names when it starts the host for that
// extension, and the form the host manifest lists them in.
[[nodiscard]] std::string extension_origin(std::string_view id);

// The caller the browser's arguments name, as the refusal shows it: Chromium passes the
// extension's origin first (and may add more); Firefox passes the absolute path of the host
// manifest, then the extension's id. Empty without arguments.
[[nodiscard]] std::string_view named_caller(std::span<const std::string_view> args) noexcept;

// Whether the arguments name one of the `allowed` ids in the form its browser uses: a
// Chromium id only through its origin, a gecko id only after a manifest path.
[[nodiscard]] bool caller_allowed(std::span<const std::string_view> args,
                                  std::span<const std::string> allowed);

}  // namespace velkaron
