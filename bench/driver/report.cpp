// Writes docs/performance.md from the load driver's figures and Google Benchmark's JSON output:
// every figure with its target, the machine, the date and the command that made it.
//
//   velkaron_report --figures FILE --micro FILE --command TEXT --out FILE

#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace velkaron::bench {
namespace {

using Medians = std::map<std::string, double, std::less<>>;

struct Options {
    std::string figures;
    std::string micro;
    std::string command;
    std::string out;
};

Options parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        std::string value = argv[i + 1];
        if (name == "--figures")
            options.figures = std::move(value);
        else if (name == "--micro")
            options.micro = std::move(value);
        else if (name == "--command")
            options.command = std::move(value);
        else if (name == "--out")
            options.out = std::move(value);
        else
            throw std::invalid_argument("unknown option " + std::string(name));
    }
    if (argc % 2 == 0 || options.figures.empty() || options.micro.empty() ||
        options.command.empty() || options.out.empty()) {
        throw std::invalid_argument(
            "usage: velkaron_report --figures FILE --micro FILE --command TEXT --out FILE");
    }
    return options;
}

nlohmann::json read_json(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    return nlohmann::json::parse(in);
}

// A bound on one figure; `bound` may depend on other figures (the memory bound on the size of
// the vault file).
struct Target {
    std::string key;
    bool at_most;
    std::function<double(const Medians&)> bound;
    std::function<std::string(const Medians&)> text;
};

Target constant(std::string key, bool at_most, double bound, std::string unit) {
    return {key, at_most, [bound](const Medians&) { return bound; },
            [=](const Medians&) {
                std::ostringstream s;
                s << (at_most ? "≤ " : "≥ ") << bound << ' ' << unit;
                return s.str();
            }};
}

double at(const Medians& medians, std::string_view key) {
    const auto found = medians.find(key);
    if (found == medians.end()) throw std::runtime_error("missing figure " + std::string(key));
    return found->second;
}

std::string format(double value) {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(value >= 100 ? 0 : value >= 10 ? 1 : 2);
    s << value;
    std::string text = s.str();
    // Thousands separators for large counts such as requests per second.
    const std::size_t point = text.find('.');
    for (auto i = static_cast<long>(point == std::string::npos ? text.size() : point) - 3; i > 0;
         i -= 3) {
        text.insert(static_cast<std::size_t>(i), ",");
    }
    return text;
}

Target peak_memory(const std::string& count) {
    const std::string size_key = "vault_size_" + count;
    return {"unlock_peak_rss_" + count, true,
            [=](const Medians& m) { return 64 + 3 * at(m, size_key) + 8; },
            [=](const Medians& m) {
                return "≤ 64 + 3 × " + format(at(m, size_key)) +
                       " + 8 = " + format(64 + 3 * at(m, size_key) + 8) + " MiB";
            }};
}

std::vector<Target> end_to_end_targets() {
    return {
        constant("status_rate", false, 200000, "req/s"),
        constant("status_rate_ratio", false, 0.5, "×"),
        constant("status_p50_ratio", true, 1.5, "×"),
        constant("unlock_ratio", true, 1.1, "×"),
        constant("create_ratio", true, 2.2, "×"),
        constant("list_10000", true, 40, "ms"),
        constant("for_host_10000", true, 30, "ms"),
        constant("put_search_10000", true, 60, "ms"),
        peak_memory("100"),
        peak_memory("1000"),
        peak_memory("10000"),
    };
}

// Ratios of two micro-benchmarks of the same run.
struct MicroRatio {
    std::string_view key;
    std::string_view label;
    std::string_view numerator;
    std::string_view denominator;
};

constexpr std::array<MicroRatio, 0> MICRO_RATIOS{};

std::vector<Target> micro_targets() {
    return {};
}

struct Verdict {
    std::string target = "—";
    std::string met = "";
};

Verdict judge(const std::vector<Target>& targets, const std::string& key, double value,
              const Medians& medians) {
    for (const auto& t : targets) {
        if (t.key != key) continue;
        const double bound = t.bound(medians);
        const bool met = t.at_most ? value <= bound : value >= bound;
        return {t.text(medians), met ? "yes" : "**no**"};
    }
    return {};
}

std::string cpu_model() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.starts_with("model name")) return line.substr(line.find(':') + 2);
    }
    return "unknown";
}

std::string utc_now() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

struct MicroRow {
    std::string name;
    double time;       // in `unit`
    std::string unit;  // as Google Benchmark reports it: ns, us, ms or s
    double ms;
};

// The median row of every micro-benchmark.
std::vector<MicroRow> micro_medians(const nlohmann::json& micro) {
    static const std::map<std::string, double, std::less<>> TO_MS{
        {"ns", 1e-6}, {"us", 1e-3}, {"ms", 1.0}, {"s", 1e3}};
    std::vector<MicroRow> rows;
    for (const auto& b : micro["benchmarks"]) {
        if (b.value("aggregate_name", "") != "median") continue;
        const std::string unit = b["time_unit"];
        const auto scale = TO_MS.find(unit);
        if (scale == TO_MS.end()) throw std::runtime_error("unknown time unit " + unit);
        const double time = b["real_time"];
        rows.push_back({b["run_name"], time, unit == "us" ? "µs" : unit, time * scale->second});
    }
    return rows;
}

void write_micro(std::ostream& out, const nlohmann::json& micro) {
    const auto rows = micro_medians(micro);
    Medians medians;
    for (const auto& row : rows) medians[row.name] = row.ms;
    const auto targets = micro_targets();
    out << "## Micro-benchmarks\n\n"
        << "Google Benchmark in one run of `velkaron_bench`, median of 5 repetitions; the "
           "ratios compare medians of that run.\n\n"
        << "| Benchmark | Median | Unit | Target | Met |\n"
        << "|---|---:|---|---|---|\n";
    for (const auto& row : rows) {
        out << "| `" << row.name << "` | " << format(row.time) << " | " << row.unit << " | — | |\n";
    }
    for (const auto& ratio : MICRO_RATIOS) {
        const double value = at(medians, ratio.numerator) / at(medians, ratio.denominator);
        medians[std::string(ratio.key)] = value;
        const Verdict v = judge(targets, std::string(ratio.key), value, medians);
        out << "| " << ratio.label << " | " << format(value) << " | × | " << v.target << " | "
            << v.met << " |\n";
    }
    out << '\n';
}

void write_end_to_end(std::ostream& out, const nlohmann::json& driver) {
    Medians medians;
    for (const auto& f : driver["figures"]) medians[f["key"]] = f["median"];
    const auto targets = end_to_end_targets();
    out << "## End to end, through the load driver\n\n"
        << "The real binary on prepared vaults, spoken to through pipes. Each figure is the "
           "median of "
        << driver["runs"].get<int>()
        << " runs (within a run, entry operations take the median of 5 requests); ratios are "
           "taken within each run.\n\n"
        << "| Figure | Median | Min–max | Unit | Target | Met |\n"
        << "|---|---:|---:|---|---|---|\n";
    for (const auto& f : driver["figures"]) {
        const std::string key = f["key"];
        const Verdict v = judge(targets, key, f["median"], medians);
        out << "| " << f["label"].get<std::string>() << " | " << format(f["median"]) << " | "
            << format(f["min"]) << "–" << format(f["max"]) << " | " << f["unit"].get<std::string>()
            << " | " << v.target << " | " << v.met << " |\n";
    }
    out << '\n';
}

int run(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    const nlohmann::json driver = read_json(options.figures);
    const nlohmann::json micro = read_json(options.micro);
    std::ofstream out(options.out);
    out << "# Performance\n\n"
        << "Generated by `" << options.command << "` on " << utc_now() << ".\n"
        << "Machine: " << cpu_model() << ", " << std::thread::hardware_concurrency()
        << " logical cores.\n\n";
    write_end_to_end(out, driver);
    write_micro(out, micro);
    if (!out) throw std::runtime_error("cannot write " + options.out);
    return 0;
}

}  // namespace
}  // namespace velkaron::bench

int main(int argc, char** argv) {
    try {
        return velkaron::bench::run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "velkaron_report: " << e.what() << '\n';
        return 1;
    }
}
