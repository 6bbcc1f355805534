// A browser's side of a session: the input is what it writes to velkaron-native's standard
// input, served by the real native-message loop against a host with small Argon2 costs on a
// vault in a temporary folder. Every whole message before input ends, and before the first
// one announced over 64 MiB, gets exactly one well-formed response carrying its request's id
// (0 when unreadable); an announced length over 64 MiB gets exactly one more, with id 0, and
// nothing after it. No message written is over 1 MiB, and a saved vault always reads. Each
// response is also cut into chunk messages with a small limit, which must join to it again.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/secret_string.hpp"
#include "base/utf8.hpp"
#include "host/native_session.hpp"
#include "protocol/native_message.hpp"
#include "protocol/request.hpp"
#include "session_support.hpp"
#include "state/host_state.hpp"

namespace {

using namespace velkaron::fuzzing;
using velkaron::LENGTH_PREFIX_SIZE;

// The id each response must carry, in order.
std::vector<std::uint64_t> expected_ids(std::string_view input) {
    std::vector<std::uint64_t> ids;
    while (input.size() >= LENGTH_PREFIX_SIZE) {
        const std::size_t length = velkaron::message_length(input.data());
        if (length > velkaron::MAX_REQUEST_MESSAGE) {
            ids.push_back(0);
            break;
        }
        input.remove_prefix(LENGTH_PREFIX_SIZE);
        if (input.size() < length) break;
        const std::string_view payload = input.substr(0, length);
        input.remove_prefix(length);
        velkaron::Utf8Scanner scanner;
        std::uint64_t id = 0;
        if (!payload.empty() && scanner.feed(payload) && scanner.complete()) {
            const auto request = velkaron::parse_request(payload);
            if (request) id = request->id;
        }
        ids.push_back(id);
    }
    return ids;
}

// The payloads of the messages written; each whole and at most 1 MiB.
std::vector<std::string_view> written_messages(std::string_view output) {
    std::vector<std::string_view> payloads;
    while (!output.empty()) {
        check(output.size() >= LENGTH_PREFIX_SIZE);
        const std::size_t length = velkaron::message_length(output.data());
        output.remove_prefix(LENGTH_PREFIX_SIZE);
        check(length <= velkaron::MAX_RESPONSE_MESSAGE && length <= output.size());
        payloads.push_back(output.substr(0, length));
        output.remove_prefix(length);
    }
    return payloads;
}

// Chunk messages of `limit` bytes at most that join to `text` again.
void check_chunks(std::uint64_t id, std::string_view text, std::size_t limit) {
    velkaron::SecretString out;
    velkaron::append_response(out, id, text, limit);
    const auto payloads = written_messages(out.view());
    if (text.size() <= limit) {
        check(payloads.size() == 1 && payloads[0] == text);
        return;
    }
    std::string joined;
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        check(payloads[i].size() <= limit);
        const auto chunk = nlohmann::json::parse(payloads[i]);
        check(chunk.size() == 3 && chunk.at("id") == id &&
              chunk.at("more") == (i + 1 < payloads.size()));
        joined += chunk.at("chunk").get<std::string>();
    }
    check(joined == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Folder folder;
    const fs::path vault = folder.path() / "v.json";

    velkaron::HostState state(vault.string(), {8, 1, 1});
    const int in = memory_file(input);
    const int out = memory_file({});
    velkaron::serve_frames(state, in, out);
    state.lock();
    const std::string output = read_back(out);
    ::close(in);
    ::close(out);

    // Responses here stay far below 1 MiB, so every one is a single message.
    const std::vector<std::uint64_t> ids = expected_ids(input);
    const std::vector<std::string_view> responses = written_messages(output);
    check(responses.size() == ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        check_response(responses[i], ids[i]);
        check_chunks(ids[i], responses[i], 64 + size % 64);
    }
    check_vault(vault);
    return 0;
}
