#pragma once

// How the reader names what it found and what the JSON library said.

#include <string>
#include <string_view>

namespace velkaron::json {

// Shortest text that reads back as `value`, plain decimal for moderate exponents, with ".0"
// on whole numbers: 1.0, 0.25, 1e20, 1.8446744073709552e19.
[[nodiscard]] std::string format_float(double value);

// A string as it is named in a fault: quoted, with quotes, backslashes and control
// characters escaped; everything else kept.
[[nodiscard]] std::string debug_quote(std::string_view text);

// The library's syntax message without its "[json.exception…] parse error at …: " prefix and
// without the "; last read: '…'" tail, which can cut a UTF-8 sequence in half.
[[nodiscard]] std::string library_message(std::string_view what, std::string_view last_token);

}  // namespace velkaron::json
