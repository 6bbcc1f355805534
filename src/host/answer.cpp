#include "host/answer.hpp"

#include "host/dispatch.hpp"
#include "protocol/request.hpp"
#include "protocol/response.hpp"

namespace velkaron {
namespace {

std::uint64_t encode(const Response& response, SecretString& line) {
    if (encode_response(response, line)) return response.id;
    line += FALLBACK_LINE;
    return 0;
}

}  // namespace

std::uint64_t answer(HostState& state, std::string_view request, SecretString& line) {
    auto parsed = parse_request(request);
    if (!parsed) return answer_unreadable(parsed.error(), line);
    return encode({parsed->id, dispatch(state, *parsed)}, line);
}

std::uint64_t answer_unreadable(std::string_view fault, SecretString& line) {
    return encode({0, fail("Anfrage unlesbar: " + std::string(fault))}, line);
}

}  // namespace velkaron
