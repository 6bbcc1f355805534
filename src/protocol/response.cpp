#include "protocol/response.hpp"

namespace velkaron {

Result<std::string> encode_response(const Response& response) {
    using nlohmann::json;
    try {
        std::string line = "{\"id\":" + std::to_string(response.id);
        if (response.outcome) {
            line += ",\"ok\":true,\"data\":";
            line += response.outcome->dump(-1, ' ', false, json::error_handler_t::strict);
        } else {
            line += ",\"ok\":false,\"error\":";
            line += json(response.outcome.error()).dump(-1, ' ', false,
                                                         json::error_handler_t::strict);
        }
        line += '}';
        return line;
    } catch (const json::exception& e) {
        return fail(e.what());
    }
}

}  // namespace velkaron
