// Writes docs/performance.md from the load driver's figures and Google Benchmark's JSON output:
// every figure with its target, the machine, the date and the command that made it.
//
//   velkaron_report --figures FILE --micro FILE --command TEXT --out FILE

#include <array>
#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
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

double at(const Medians& medians, std::string_view key) {
    const auto found = medians.find(key);
    if (found == medians.end()) throw std::runtime_error("missing figure " + std::string(key));
    return found->second;
}

// Fixed decimals by magnitude, thousands separated.
std::string format(double value) {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(value >= 100 ? 0 : value >= 10 ? 1 : 2);
    s << value;
    std::string text = s.str();
    const std::size_t point = text.find('.');
    const std::size_t digits_end = point == std::string::npos ? text.size() : point;
    const std::size_t digits_start = text.starts_with('-') ? 1 : 0;
    for (std::size_t i = digits_end; i > digits_start + 3; i -= 3) text.insert(i - 3, ",");
    return text;
}

// A bound on one figure; it may depend on other figures (the memory bound on the size of the
// vault file).
struct Target {
    std::string key;
    bool at_most;
    std::function<double(const Medians&)> bound;
    std::function<std::string(const Medians&)> text;
};

Target constant(std::string key, bool at_most, double bound, std::string unit) {
    const std::string text = (at_most ? "≤ " : "≥ ") + format(bound) + ' ' + unit;
    return {std::move(key), at_most, [bound](const Medians&) { return bound; },
            [text](const Medians&) { return text; }};
}

// Argon2 work memory + three times the file + 8 MiB.
Target peak_memory(const std::string& count) {
    const std::string size_key = "vault_size_" + count;
    auto bound = [size_key](const Medians& m) { return 64 + 3 * at(m, size_key) + 8; };
    return {"unlock_peak_rss_" + count, true, bound, [size_key, bound](const Medians& m) {
                return "≤ 64 + 3 × " + format(at(m, size_key)) + " + 8 = " + format(bound(m)) +
                       " MiB";
            }};
}

std::vector<Target> targets() {
    return {
        constant("derive_key_ratio", true, 0.65, "×"),
        constant("status_rate", false, 200000, "req/s"),
        constant("status_rate_ratio", false, 0.5, "×"),
        constant("status_p50_ratio", true, 1.5, "×"),
        constant("native_status_p50_ratio", true, 1.1, "×"),
        constant("unlock_ratio_100", true, 1.1, "×"),
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

constexpr std::array<MicroRatio, 2> MICRO_RATIOS{{
    {"derive_key_ratio", "derive_key as used ÷ libargon2 argon2_ctx", "derive_key_as_used",
     "libargon2_argon2_ctx"},
    {"derive_key_backend_ratio", "derive_key libargon2 back end ÷ libargon2 argon2_ctx",
     "derive_key_libargon2_backend", "libargon2_argon2_ctx"},
}};

struct Row {
    std::string key;
    std::string label;
    double value;
    std::string unit;
    std::string range;  // min–max over runs, where there are runs
};

struct Verdict {
    std::string target;
    bool met;
};

std::optional<Verdict> judge(const Row& row, const Medians& medians) {
    for (const auto& t : targets()) {
        if (t.key != row.key) continue;
        const double bound = t.bound(medians);
        return Verdict{t.text(medians), t.at_most ? row.value <= bound : row.value >= bound};
    }
    return std::nullopt;
}

std::vector<Row> end_to_end_rows(const nlohmann::json& driver) {
    std::vector<Row> rows;
    for (const auto& f : driver["figures"]) {
        rows.push_back({f["key"], f["label"], f["median"], f["unit"],
                        format(f["min"]) + "–" + format(f["max"])});
    }
    return rows;
}

// The median of every micro-benchmark, in its own unit, then the ratios.
std::vector<Row> micro_rows(const nlohmann::json& micro) {
    static const std::map<std::string, double, std::less<>> TO_MS{
        {"ns", 1e-6}, {"us", 1e-3}, {"ms", 1.0}, {"s", 1e3}};
    std::vector<Row> rows;
    Medians ms;
    for (const auto& b : micro["benchmarks"]) {
        if (b.value("aggregate_name", "") != "median") continue;
        const std::string unit = b["time_unit"];
        const auto scale = TO_MS.find(unit);
        if (scale == TO_MS.end()) throw std::runtime_error("unknown time unit " + unit);
        // A benchmark's minimum time is part of its run name but says nothing of the figure.
        std::string name = b["run_name"];
        if (const auto option = name.find("/min_time:"); option != std::string::npos) {
            name.erase(option);
        }
        const double time = b["real_time"];
        ms[name] = time * scale->second;
        rows.push_back({name, "`" + name + "`", time, unit == "us" ? "µs" : unit, ""});
    }
    for (const auto& ratio : MICRO_RATIOS) {
        rows.push_back({std::string(ratio.key), std::string(ratio.label),
                        at(ms, ratio.numerator) / at(ms, ratio.denominator), "×", ""});
    }
    return rows;
}

void write_table(std::ostream& out, const std::vector<Row>& rows, const Medians& medians,
                 bool targets_only, bool with_range) {
    out << "| Figure | Value | Unit |" << (with_range ? " Min–max |" : "") << " Target | Met |\n"
        << "|---|---:|---|" << (with_range ? "---:|" : "") << "---|---|\n";
    for (const auto& row : rows) {
        const auto verdict = judge(row, medians);
        if (targets_only && !verdict) continue;
        out << "| " << row.label << " | " << format(row.value) << " | " << row.unit << " | ";
        if (with_range) out << row.range << " | ";
        if (verdict) {
            out << verdict->target << " | " << (verdict->met ? "yes" : "**no**") << " |\n";
        } else {
            out << "— | |\n";
        }
    }
    out << '\n';
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

int run(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    const nlohmann::json driver = read_json(options.figures);
    const nlohmann::json micro = read_json(options.micro);
    const std::vector<Row> end_to_end = end_to_end_rows(driver);
    const std::vector<Row> micro_benchmarks = micro_rows(micro);
    std::vector<Row> all = end_to_end;
    all.insert(all.end(), micro_benchmarks.begin(), micro_benchmarks.end());
    Medians medians;
    for (const auto& row : all) medians[row.key] = row.value;
    const int repetitions = micro["benchmarks"].at(0).value("repetitions", 1);

    std::ofstream out(options.out);
    out << "# Performance\n\n"
        << "Generated by `" << options.command << "` on " << utc_now() << ", which also "
        << "reproduces it.\nMachine: " << cpu_model() << ", " << std::thread::hardware_concurrency()
        << " logical cores.\n\n"
        << "## Targets\n\n";
    write_table(out, all, medians, true, false);
    out << "## End to end, through the load driver\n\n"
        << "The release binary on prepared vaults, spoken to through pipes by `velkaron_load`. "
        << "Each figure is the median over " << driver["runs"].get<int>()
        << " runs; within a run, an entry operation counts with the median of 5 requests, and "
           "a ratio is taken between figures of that run. Absolute throughput and latency "
           "follow whatever else the machine runs; the ideal responder, driven the same way in "
           "the same run, shows what the pipes and the machine allow.\n\n";
    write_table(out, end_to_end, medians, false, true);
    out << "## Micro-benchmarks\n\n"
        << "Google Benchmark, one run of `velkaron_bench`, the median of " << repetitions
        << " repetitions each; the ratios compare medians of that run.\n\n";
    write_table(out, micro_benchmarks, medians, false, false);
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
