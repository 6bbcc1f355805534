#include "protocol/response.hpp"

#include <charconv>

#include "json/writer.hpp"

namespace velkaron {

bool encode_response(const Response& response, SecretString& line) {
    const std::size_t start = line.size();
    char id[24];
    line += "{\"id\":";
    line.append(id, std::to_chars(id, id + sizeof id, response.id).ptr);
    bool written = false;
    if (response.outcome) {
        line += ",\"ok\":true,\"data\":";
        written = json::append_value(line, *response.outcome);
    } else {
        line += ",\"ok\":false,\"error\":";
        written = json::append_string(line, response.outcome.error());
    }
    if (!written) {
        line.truncate(start);
        return false;
    }
    line += '}';
    return true;
}

}  // namespace velkaron
