#include "protocol/response.hpp"

namespace velkaron {
namespace {

void open_response(std::uint64_t id, SecretString& line) {
    line += "{\"id\":";
    json::append_integer(line, id);
}

}  // namespace

void open_success(std::uint64_t id, SecretString& line) {
    open_response(id, line);
    line += ",\"ok\":true,\"data\":";
}

bool encode_response(const Response& response, SecretString& line) {
    const std::size_t start = line.size();
    bool written = false;
    if (response.outcome) {
        open_success(response.id, line);
        written = json::append_value(line, *response.outcome);
    } else {
        open_response(response.id, line);
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
