#include "host/answer.hpp"

#include <utility>

#include "host/dispatch.hpp"
#include "protocol/request.hpp"
#include "protocol/response.hpp"

namespace velkaron {
namespace {

Reply encode(const Response& response) {
    auto encoded = encode_response(response);
    if (!encoded) return {0, std::string(FALLBACK_LINE)};
    return {response.id, std::move(*encoded)};
}

}  // namespace

Reply answer(HostState& state, std::string_view request) {
    auto parsed = parse_request(request);
    if (!parsed) return unreadable(parsed.error());
    return encode({parsed->id, dispatch(state, *parsed)});
}

Reply unreadable(std::string_view fault) {
    return encode({0, fail("Anfrage unlesbar: " + std::string(fault))});
}

}  // namespace velkaron
