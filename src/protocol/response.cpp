#include "protocol/response.hpp"

#include "json/writer.hpp"

namespace velkaron {
namespace {

// Text that is not UTF-8 cannot be written; the client gets the fallback line, which says so.
Result<std::string> unencodable() {
    return fail("Antwort nicht serialisierbar");
}

}  // namespace

Result<std::string> encode_response(const Response& response) {
    std::string line;
    line.reserve(128);  // most responses fit, with the line feed the loop adds
    line += "{\"id\":";
    line += std::to_string(response.id);
    if (response.outcome) {
        line += ",\"ok\":true,\"data\":";
        if (!json::append_value(line, *response.outcome)) return unencodable();
    } else {
        line += ",\"ok\":false,\"error\":";
        if (!json::append_string(line, response.outcome.error())) return unencodable();
    }
    line += '}';
    return line;
}

}  // namespace velkaron
