#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/result.hpp"

namespace velkaron {

// `data` on success, the German message on failure. nlohmann::json keeps object members
// sorted by name, which is the order every data object is written in.
struct Response {
    std::uint64_t id = 0;
    Result<nlohmann::json> outcome;
};

// Sent verbatim when a response cannot be encoded.
inline constexpr std::string_view FALLBACK_LINE =
    R"({"id":0,"ok":false,"error":"Antwort nicht serialisierbar"})";

// Compact JSON of the response, without the line feed; fails on text that is not UTF-8.
[[nodiscard]] Result<std::string> encode_response(const Response& response);

}  // namespace velkaron
