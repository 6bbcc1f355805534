#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/child_process.hpp"

namespace velkaron::bench {

using testing_support::ChildProcess;

// `count` request lines `{"id":N,"op":"<op>"}` for N = 1…count, each ended by a line feed.
[[nodiscard]] std::string numbered_requests(std::string_view op, std::size_t count);

// Whether a response line reports success: it starts with the id and then "ok":true.
[[nodiscard]] bool response_ok(std::string_view line);

// Writes `requests` (`count` lines) from a second thread while this one reads the responses
// as they come; gives requests per second from the first write to the last response.
[[nodiscard]] double pipelined_rate(ChildProcess& child, const std::string& requests,
                                    std::size_t count);

// How requests and responses travel: velkaron-vault's lines, or velkaron-native's messages,
// where a long response comes as chunk messages.
enum class Framing { Lines, NativeMessages };

// A request (JSON without framing) as it is written to the host.
[[nodiscard]] std::string framed(std::string_view request, Framing framing);

// The next whole response: its text, chunks joined; nothing when the output ends first.
[[nodiscard]] std::optional<std::string> receive_response(ChildProcess& child, Framing framing);

// Round-trip times in microseconds of `count` requests sent one at a time, each written only
// after the previous response has arrived, after `warmup` unrecorded ones; the child and this
// thread share one CPU meanwhile.
[[nodiscard]] std::vector<double> round_trips_us(ChildProcess& child, std::string_view request,
                                                 std::size_t warmup, std::size_t count,
                                                 Framing framing = Framing::Lines);

// Sends one request and waits for the whole response; milliseconds. Throws with the response
// when the request did not succeed.
[[nodiscard]] double timed_ms(ChildProcess& child, std::string_view request,
                              Framing framing = Framing::Lines);

// As timed_ms, for a request that must be refused: throws when it succeeds.
[[nodiscard]] double timed_refused_ms(ChildProcess& child, std::string_view request,
                                      Framing framing = Framing::Lines);

// Peak resident set size of a running process so far (VmHWM), in KiB.
[[nodiscard]] long peak_rss_kib(pid_t pid);

}  // namespace velkaron::bench
