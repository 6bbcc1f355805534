#pragma once

#include <sys/types.h>

#include <cstddef>
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

// Round-trip times in microseconds of `count` requests sent one at a time, each written only
// after the previous response has arrived, after `warmup` unrecorded ones.
[[nodiscard]] std::vector<double> round_trips_us(ChildProcess& child, std::string_view request,
                                                 std::size_t warmup, std::size_t count);

// Sends one request line (without its line feed) and waits for the response; milliseconds.
// Throws with the response when the request did not succeed.
[[nodiscard]] double timed_ms(ChildProcess& child, std::string_view request);

// Peak resident set size of a running process so far (VmHWM), in KiB.
[[nodiscard]] long peak_rss_kib(pid_t pid);

}  // namespace velkaron::bench
