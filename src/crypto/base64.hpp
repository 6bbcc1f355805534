#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron {

// Standard alphabet, always padded.
[[nodiscard]] std::string base64_encode(std::span<const unsigned char> bytes);

// Accepts exactly what base64_encode writes: no whitespace, no URL-safe alphabet, padding
// present and exact, leftover bits zero. Empty optional on anything else.
[[nodiscard]] std::optional<std::vector<unsigned char>> base64_decode(std::string_view text);

}  // namespace velkaron
