#pragma once

#include <cstdint>
#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "json/json.hpp"

namespace velkaron {

// `data` on success, the German message on failure. Json keeps object members sorted by name,
// which is the order every data object is written in.
struct Response {
    std::uint64_t id = 0;
    Result<Json> outcome;
};

// Sent verbatim when a response cannot be encoded.
inline constexpr std::string_view FALLBACK_LINE =
    R"({"id":0,"ok":false,"error":"Antwort nicht serialisierbar"})";

// Appends the compact JSON of the response to `line`, without the line feed. False, with `line`
// as it was, when it holds text that is not UTF-8.
[[nodiscard]] bool encode_response(const Response& response, SecretString& line);

}  // namespace velkaron
