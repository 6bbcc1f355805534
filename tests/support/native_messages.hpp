#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron::testing_support {

// A stream of native messages with these payloads.
[[nodiscard]] std::string messages(std::initializer_list<std::string_view> payloads);

// A length prefix announcing `length` bytes, with nothing after it.
[[nodiscard]] std::string length_prefix(std::uint32_t length);

// The payloads of a stream of native messages; fails the test when the stream ends inside one.
[[nodiscard]] std::vector<std::string> split_messages(std::string_view stream);

// The responses a stream of messages from the host carries, each as the line host would write
// it: chunk messages decoded and joined. Fails the test when a message is over the limit a
// browser accepts, or a chunk sequence is interrupted or left unfinished.
[[nodiscard]] std::vector<std::string> responses_of(std::string_view stream);

}  // namespace velkaron::testing_support
