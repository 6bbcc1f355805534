#include "measure.hpp"

#include <chrono>
#include <fstream>
#include <future>
#include <stdexcept>

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

std::vector<double> round_trips_us(ChildProcess& child, std::string_view request,
                                   std::size_t warmup, std::size_t count) {
    const std::string line = std::string(request) + '\n';
    std::vector<double> samples;
    samples.reserve(count);
    for (std::size_t i = 0; i < warmup + count; ++i) {
        const auto start = Clock::now();
        child.send_raw(line);
        const auto response = child.receive();
        const double elapsed = seconds_since(start);
        expect_ok(response, request);
        if (i >= warmup) samples.push_back(elapsed * 1e6);
    }
    return samples;
}

double timed_ms(ChildProcess& child, std::string_view request) {
    const std::string line = std::string(request) + '\n';
    const auto start = Clock::now();
    child.send_raw(line);
    const auto response = child.receive();
    const double elapsed = seconds_since(start);
    expect_ok(response, request);
    return elapsed * 1e3;
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
