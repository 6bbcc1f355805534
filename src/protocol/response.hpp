#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "json/json.hpp"
#include "json/writer.hpp"

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

// What a success response to `id` holds before its data: {"id":…,"ok":true,"data":
void open_success(std::uint64_t id, SecretString& line);

// The same for data that `write` (Status(json::DataWriter&)) writes into the line itself, for
// answers that would cost more as a document than as their bytes. When `write` fails, the
// response is the failure with its message, and nothing of what it wrote stays.
template <class Write>
[[nodiscard]] bool encode_written_response(std::uint64_t id, Write&& write, SecretString& line) {
    const std::size_t start = line.size();
    open_success(id, line);
    json::DataWriter data(line);
    Status written = std::forward<Write>(write)(data);
    if (written && data.encodable()) {
        line += '}';
        return true;
    }
    line.truncate(start);
    return !written && encode_response({id, fail(std::move(written.error()))}, line);
}

}  // namespace velkaron
