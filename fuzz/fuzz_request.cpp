// A request line through parse_request and encode_response. Every fault must be located, and
// for a line that is UTF-8 (the only kind the loop parses) the response must always encode:
// nothing of the library's may cut a character in half.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/secret_string.hpp"
#include "base/utf8.hpp"
#include "protocol/request.hpp"
#include "protocol/response.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    auto request = velkaron::parse_request(line);
    velkaron::Response response;
    if (request) {
        response = {request->id, nlohmann::json{{"op", request->op}}};
    } else {
        if (request.error().find(" at line ") == std::string::npos) std::abort();
        response = {0, velkaron::fail("Anfrage unlesbar: " + request.error())};
    }
    velkaron::Utf8Scanner scanner;
    const bool utf8 = scanner.feed(line) && scanner.complete();
    velkaron::SecretString encoded;
    if (utf8 && !velkaron::encode_response(response, encoded)) std::abort();
    return 0;
}
