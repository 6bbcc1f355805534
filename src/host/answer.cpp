#include "host/answer.hpp"

#include "host/dispatch.hpp"
#include "protocol/request.hpp"
#include "protocol/response.hpp"

namespace velkaron {
namespace {

// The id of what `line` now ends with: the response's when it was encoded, else the fallback
// line's 0.
std::uint64_t encoded_or_fallback(bool encoded, std::uint64_t id, SecretString& line) {
    if (encoded) return id;
    line += FALLBACK_LINE;
    return 0;
}

}  // namespace

Answered answer(HostState& state, std::string_view request, SecretString& line) {
    auto parsed = parse_request(request);
    if (!parsed) return answer_unreadable(parsed.error(), line);
    const StackReach reach = parsed->op == "status" ? StackReach::Shallow : StackReach::Any;
    return {encoded_or_fallback(dispatch(state, *parsed, line), parsed->id, line), reach};
}

Answered answer_unreadable(std::string_view fault, SecretString& line) {
    const Response unreadable{0, fail("Anfrage unlesbar: " + std::string(fault))};
    return {encoded_or_fallback(encode_response(unreadable, line), 0, line), StackReach::Any};
}

}  // namespace velkaron
