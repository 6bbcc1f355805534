#include "measure.hpp"

#include <sched.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "protocol/native_message.hpp"

namespace velkaron::bench {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void expect_ok(const std::optional<std::string>& response, std::string_view request) {
    if (!response) throw std::runtime_error("child output ended before a response");
    if (!response_ok(*response)) {
        throw std::runtime_error("request " + std::string(request) + " failed: " + *response);
    }
}

// A chunk message of velkaron-native: {"id":N,"chunk":…; a whole response has "ok" there.
bool is_chunk(std::string_view payload) {
    constexpr std::string_view ID = "{\"id\":";
    if (!payload.starts_with(ID)) return false;
    payload.remove_prefix(ID.size());
    const std::size_t digits = payload.find_first_not_of("0123456789");
    return digits != std::string_view::npos && payload.substr(digits).starts_with(",\"chunk\":");
}

// A response as it arrived: a line or one whole message, or the chunk messages that carry it,
// still encoded, so that decoding them is not counted as the host's time.
struct Arrived {
    std::string whole;
    std::vector<std::string> chunks;
};

std::optional<Arrived> receive_arrived(ChildProcess& child, Framing framing) {
    Arrived arrived;
    if (framing == Framing::Lines) {
        auto line = child.receive();
        if (!line) return std::nullopt;
        arrived.whole = std::move(*line);
        return arrived;
    }
    for (;;) {
        const auto prefix = child.receive_exactly(LENGTH_PREFIX_SIZE);
        if (!prefix) return std::nullopt;
        auto payload = child.receive_exactly(message_length(prefix->data()));
        if (!payload) return std::nullopt;
        if (!is_chunk(*payload)) {
            arrived.whole = std::move(*payload);
            return arrived;
        }
        const bool last = payload->ends_with(",\"more\":false}");
        arrived.chunks.push_back(std::move(*payload));
        if (last) return arrived;
    }
}

std::string text_of(Arrived arrived) {
    if (arrived.chunks.empty()) return std::move(arrived.whole);
    std::string joined;
    for (const std::string& message : arrived.chunks) {
        joined += nlohmann::json::parse(message).at("chunk").get<std::string>();
    }
    return joined;
}

void expect_ok(std::optional<Arrived>& arrived, std::string_view request) {
    expect_ok(arrived ? std::optional<std::string>(text_of(std::move(*arrived))) : std::nullopt,
              request);
}

// Keeps this thread and the process `pid` on the CPU this thread runs on while it lives. A
// round trip takes about 9 µs when client and responder share a CPU and about 50 µs when the
// responder has to be woken on the other one; left to the scheduler, each process kept one of
// the two for a whole run, and that coin, not the responder, decided the figure.
class SharedCpu {
  public:
    explicit SharedCpu(pid_t pid) : pid_(pid) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        if (::sched_getaffinity(0, sizeof own_, &own_) != 0 ||
            ::sched_getaffinity(pid_, sizeof child_, &child_) != 0 ||
            ::sched_setaffinity(0, sizeof one, &one) != 0 ||
            ::sched_setaffinity(pid_, sizeof one, &one) != 0) {
            throw std::runtime_error(std::string("sched_setaffinity: ") + std::strerror(errno));
        }
    }
    SharedCpu(const SharedCpu&) = delete;
    SharedCpu& operator=(const SharedCpu&) = delete;
    ~SharedCpu() {
        (void)::sched_setaffinity(pid_, sizeof child_, &child_);
        (void)::sched_setaffinity(0, sizeof own_, &own_);
    }

  private:
    pid_t pid_;
    cpu_set_t own_{};
    cpu_set_t child_{};
};

}  // namespace

std::string numbered_requests(std::string_view op, std::size_t count) {
    std::string lines;
    for (std::size_t id = 1; id <= count; ++id) {
        lines += "{\"id\":" + std::to_string(id) + ",\"op\":\"";
        lines += op;
        lines += "\"}\n";
    }
    return lines;
}

bool response_ok(std::string_view line) {
    constexpr std::string_view ID = "{\"id\":";
    constexpr std::string_view OK = ",\"ok\":true";
    if (!line.starts_with(ID)) return false;
    line.remove_prefix(ID.size());
    const std::size_t digits = line.find_first_not_of("0123456789");
    return digits != 0 && digits != std::string_view::npos && line.substr(digits).starts_with(OK);
}

double pipelined_rate(ChildProcess& child, const std::string& requests, std::size_t count) {
    const auto start = Clock::now();
    auto writer = std::async(std::launch::async, [&] { child.send_raw(requests); });
    for (std::size_t i = 0; i < count; ++i) expect_ok(child.receive(), "(pipelined)");
    const double elapsed = seconds_since(start);
    writer.get();
    return static_cast<double>(count) / elapsed;
}

std::string framed(std::string_view request, Framing framing) {
    std::string bytes;
    if (framing == Framing::Lines) {
        bytes = std::string(request) + '\n';
    } else {
        append_message(bytes, request);
    }
    return bytes;
}

std::optional<std::string> receive_response(ChildProcess& child, Framing framing) {
    auto arrived = receive_arrived(child, framing);
    if (!arrived) return std::nullopt;
    return text_of(std::move(*arrived));
}

std::vector<double> round_trips_us(ChildProcess& child, std::string_view request,
                                   std::size_t warmup, std::size_t count, Framing framing) {
    std::vector<double> samples;
    samples.reserve(count);
    const std::string bytes = framed(request, framing);
    const SharedCpu shared(child.pid());
    for (std::size_t i = 0; i < warmup + count; ++i) {
        const auto start = Clock::now();
        child.send_raw(bytes);
        auto arrived = receive_arrived(child, framing);
        const double elapsed = seconds_since(start);
        expect_ok(arrived, request);
        if (i >= warmup) samples.push_back(elapsed * 1e6);
    }
    return samples;
}

namespace {

// Sends one request and waits for its whole response: milliseconds, and what arrived.
std::pair<double, std::optional<Arrived>> exchange(ChildProcess& child, std::string_view request,
                                                   Framing framing) {
    const std::string bytes = framed(request, framing);
    const auto start = Clock::now();
    child.send_raw(bytes);
    auto arrived = receive_arrived(child, framing);
    return {seconds_since(start) * 1e3, std::move(arrived)};
}

}  // namespace

double timed_ms(ChildProcess& child, std::string_view request, Framing framing) {
    auto [elapsed, arrived] = exchange(child, request, framing);
    expect_ok(arrived, request);
    return elapsed;
}

double timed_refused_ms(ChildProcess& child, std::string_view request, Framing framing) {
    auto [elapsed, arrived] = exchange(child, request, framing);
    if (!arrived) throw std::runtime_error("child output ended before a response");
    if (response_ok(text_of(std::move(*arrived)))) {
        throw std::runtime_error("request " + std::string(request) + " was not refused");
    }
    return elapsed;
}

long peak_rss_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string field;
    while (status >> field) {
        if (field == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    throw std::runtime_error("no VmHWM for process " + std::to_string(pid));
}

}  // namespace velkaron::bench
