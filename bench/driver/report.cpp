// Writes docs/performance.md from the load driver's figures and Google Benchmark's JSON output:
// every figure with its target, this build against the baseline where the driver measured
// one, the machine, the date and the command that made it.
//
//   velkaron_report --figures FILE --micro FILE --command TEXT --out FILE

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "report_tables.hpp"

namespace velkaron::bench {
namespace {

struct Options {
    std::string figures;
    std::string micro;
    std::string browser;  // tests/browser/bench.mjs's figures; optional
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
        else if (name == "--browser")
            options.browser = std::move(value);
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
            "usage: velkaron_report --figures FILE --micro FILE [--browser FILE] --command TEXT "
            "--out FILE");
    }
    return options;
}

nlohmann::json read_json(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    return nlohmann::json::parse(in);
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

std::vector<Row> end_to_end_rows(const nlohmann::json& figures) {
    std::vector<Row> rows;
    for (const auto& f : figures) {
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

std::string met_text(const Verdict& verdict) {
    if (verdict.impossible) return "**no**: impossible figure, the measurement is at fault";
    return verdict.met ? "yes" : "**no**";
}

void write_table(std::ostream& out, const std::vector<Row>& rows, const Medians& medians,
                 bool targets_only, bool with_range) {
    out << "| Figure | Value | Unit |" << (with_range ? " Min–max |" : "") << " Target | Met |\n"
        << "|---|---:|---|" << (with_range ? "---:|" : "") << "---|---|\n";
    for (const auto& row : rows) {
        if (targets_only && !in_targets_table(row.key)) continue;
        const auto verdict = judge(row.key, row.value, medians);
        out << "| " << row.label << " | " << format(row.value) << " | " << row.unit << " | ";
        if (with_range) out << row.range << " | ";
        if (verdict) {
            out << verdict->target << " | " << met_text(*verdict) << " |\n";
        } else {
            out << "— | |\n";
        }
    }
    out << '\n';
}

const Row& row_of(const std::vector<Row>& rows, std::string_view key) {
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return row.key == key; });
    if (found == rows.end()) throw std::runtime_error("missing figure " + std::string(key));
    return *found;
}

// This build's figures beside the baseline's, with the ratio of each run's pair.
void write_comparison(std::ostream& out, const nlohmann::json& driver,
                      const std::vector<Row>& current) {
    const nlohmann::json& baseline = driver["baseline"];
    const std::vector<Row> theirs = end_to_end_rows(baseline["figures"]);
    out << "## This build vs baseline\n\n"
        << "The baseline host `" << baseline["host"].get<std::string>()
        << "`, a build of an earlier commit, speaks the same protocol and is driven exactly "
           "like this build in the same run: the entry operations take turns request by "
           "request, `status` block by block, `unlock` host by host, the baseline first in "
           "every other run. "
           "The ratio is taken within each run; shown is its median over "
        << driver["runs"].get<int>()
        << " runs. Within 5 %: a rate no more than 5 % below the baseline's, a time no more "
           "than 5 % above it.\n\n"
        << "| Figure | This build | Baseline | Unit | This ÷ baseline | Min–max | Bound | Within "
           "5 % |\n"
        << "|---|---:|---:|---|---:|---:|---|---|\n";
    for (const Row& ratio : end_to_end_rows(baseline["versus"])) {
        const Row& mine = row_of(current, ratio.key);
        const Verdict verdict = versus_baseline(ratio.value, mine.unit);
        out << "| " << mine.label << " | " << format(mine.value) << " | "
            << format(row_of(theirs, ratio.key).value) << " | " << mine.unit << " | "
            << format(ratio.value) << " | " << ratio.range << " | " << verdict.target << " | "
            << met_text(verdict) << " |\n";
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
    const std::vector<Row> end_to_end = end_to_end_rows(driver["figures"]);
    const std::vector<Row> micro_benchmarks = micro_rows(micro);
    const nlohmann::json browser =
        options.browser.empty() ? nlohmann::json::object() : read_json(options.browser);
    const std::vector<Row> in_browser =
        browser.contains("figures") ? end_to_end_rows(browser["figures"]) : std::vector<Row>{};
    std::vector<Row> all = end_to_end;
    all.insert(all.end(), micro_benchmarks.begin(), micro_benchmarks.end());
    all.insert(all.end(), in_browser.begin(), in_browser.end());
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
    if (driver.contains("baseline")) write_comparison(out, driver, end_to_end);
    out << "## End to end, through the load driver\n\n"
        << "The release binary on prepared vaults, spoken to through pipes by `velkaron_load`. "
        << "Each figure is the median over " << driver["runs"].get<int>()
        << " runs; within a run, an entry operation counts with the median of 5 requests (the "
           "cost of put's search with the median of the differences of 11 pairs of put without "
           "and with id, unlock with the median of 5 unlocks, each against a derive_key right "
           "before it, and export's own work with the median of the differences of 15 pairs of "
           "export with a wrong password, which derives the key and stops, and export), and a "
           "ratio is taken between figures of that run. One-at-a-time "
           "round trips run with the driver and the responder on one CPU. Absolute throughput "
           "and latency "
           "follow whatever else the machine runs; the ideal responder, driven the same way in "
           "the same run, shows what the pipes and the machine allow, and the floor what the "
           "entry operations cannot undercut: the driver itself opens every stored entry, with "
           "a table Base64 decode of nonce and ciphertext, libsodium's "
           "crypto_aead_xchacha20poly1305_ietf_decrypt into a buffer allocated beforehand and "
           "one memchr pass over the plaintext, no JSON and no allocation; its figure is the "
           "median of 5 passes one after the other, right before the entry operations on the "
           "same vault.\n\n";
    write_table(out, end_to_end, medians, false, true);
    out << "## Micro-benchmarks\n\n"
        << "Google Benchmark, one run of `velkaron_bench`, the median of " << repetitions
        << " repetitions each; the ratios compare medians of that run.\n\n";
    write_table(out, micro_benchmarks, medians, false, false);
    if (!in_browser.empty()) {
        out << "## In the browser\n\n"
            << "`tests/browser/bench.mjs` in headless Chromium with the extension and this build's "
               "`velkaron-native`, on prepared vaults: each figure is the median of "
            << browser["rounds"].get<int>()
            << " tries, the two sides of every ratio measured in turns in this one run. The "
               "popup's figure is its own time from its navigation to its first rows of logins "
               "(a performance mark), opened in a tab on an unlocked vault. The keyboard "
               "command's fill is timed in the service worker from the command to its result, "
               "on a freshly loaded and shown page of a login form and 10 or 1,000 other "
               "inputs; it is set against one `for-host` round trip through the worker, from "
               "an extension page as the popup makes it (the worker reads the tab's top frame "
               "and asks the host; the worker's own round trip to the host within the fill is "
               "shown beside it). The fill's judgement is the content script's time choosing "
               "and judging the fields in its probe and its fill, which the bench reads in "
               "the content scripts' world. The content scripts' own time in a page load is "
               "taken from the browser's trace of the scripts and listeners of the extension "
               "(the scripts leave no marks a page could read), against the load (navigation "
               "start to the end of the load event) of the same page in another try. The page "
               "script's churn runs in turns in a browser with and one without the "
               "extension.\n\n";
        write_table(out, in_browser, medians, false, false);
    }
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
