// A whole session: the input is what a client writes to standard input, served by the real
// request loop against a host with small Argon2 costs on a vault in a temporary folder. Every
// non-blank line up to the first one that is not UTF-8 gets exactly one well-formed response
// line carrying its request's id, nothing else is written, and a vault file the session left
// behind always reads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf8.hpp"
#include "host/line_session.hpp"
#include "protocol/line_reader.hpp"
#include "protocol/request.hpp"
#include "session_support.hpp"
#include "state/host_state.hpp"

namespace {

using namespace velkaron::fuzzing;

// The id each answered line must be echoed with (0 for an unreadable request), in order.
std::vector<std::uint64_t> expected_ids(std::string_view input) {
    std::vector<std::uint64_t> ids;
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        const std::size_t length = newline == std::string_view::npos ? input.size() : newline + 1;
        const std::string_view line = input.substr(0, length);
        input.remove_prefix(length);
        velkaron::Utf8Scanner scanner;
        if (!scanner.feed(line) || !scanner.complete()) break;
        if (scanner.blank()) continue;
        const auto request = velkaron::parse_request(velkaron::strip_line_ending(line));
        ids.push_back(request ? request->id : 0);
    }
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Folder folder;
    const fs::path vault = folder.path() / "v.json";

    velkaron::HostState state(vault.string(), {8, 1, 1});
    const int in = memory_file(input);
    const int out = memory_file({});
    velkaron::serve_lines(state, in, out);
    state.lock();
    const std::string output = read_back(out);
    ::close(in);
    ::close(out);

    const std::vector<std::uint64_t> ids = expected_ids(input);
    std::string_view rest = output;
    for (const std::uint64_t id : ids) {
        const std::size_t newline = rest.find('\n');
        check(newline != std::string_view::npos);
        check_response(rest.substr(0, newline), id);
        rest.remove_prefix(newline + 1);
    }
    check(rest.empty());

    check_vault(vault);
    return 0;
}
