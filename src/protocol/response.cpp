#include "protocol/response.hpp"

#include "json/writer.hpp"

namespace velkaron {

Result<std::string> encode_response(const Response& response) {
    std::string line;
    line.reserve(128);  // most responses fit, with the line feed the loop adds
    line += "{\"id\":";
    line += std::to_string(response.id);
    if (response.outcome) {
        line += ",\"ok\":true,\"data\":";
        if (!json::append_value(line, *response.outcome)) return fail("data is not UTF-8");
    } else {
        line += ",\"ok\":false,\"error\":";
        if (!json::append_string(line, response.outcome.error())) {
            return fail("error message is not UTF-8");
        }
    }
    line += '}';
    return line;
}

}  // namespace velkaron
