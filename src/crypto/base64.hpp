#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret_string.hpp"

namespace velkaron {

// Standard alphabet, always padded.
[[nodiscard]] std::string base64_encode(std::span<const unsigned char> bytes);

// Accepts exactly what base64_encode writes: no whitespace, no URL-safe alphabet, padding
// present and exact, leftover bits zero. Empty optional on anything else.
[[nodiscard]] std::optional<std::vector<unsigned char>> base64_decode(std::string_view text);

// The same into `bytes`, resized once to the decoded length, so that a buffer kept from call
// to call stops allocating. False, with `bytes` unspecified, where base64_decode refuses.
[[nodiscard]] bool base64_decode_into(std::string_view text, std::vector<unsigned char>& bytes);

// The same rules for text that holds a secret (an import's file): decoded without a table, so
// that the cache keeps no trace of the bytes, into a buffer that wipes itself.
[[nodiscard]] std::optional<SecretString> base64_decode_secret(std::string_view text);

}  // namespace velkaron
