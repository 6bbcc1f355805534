#include "report_tables.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace velkaron::bench {
namespace {

// A bound on one figure; it may depend on other figures.
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

// Argon2 work memory + twice the file + 8 MiB.
Target peak_memory(const std::string& count) {
    const std::string size_key = "vault_size_" + count;
    auto bound = [size_key](const Medians& m) { return 64 + 2 * at(m, size_key) + 8; };
    return {"unlock_peak_rss_" + count, true, bound, [size_key, bound](const Medians& m) {
                return "≤ 64 + 2 × " + format(at(m, size_key)) + " + 8 = " + format(bound(m)) +
                       " MiB";
            }};
}

const std::vector<Target>& targets() {
    static const std::vector<Target> all{
        constant("derive_key_ratio", true, 0.65, "×"),
        constant("status_rate_ratio", false, 0.75, "×"),
        constant("status_p50_ratio", true, 1.2, "×"),
        constant("native_status_p50_ratio", true, 1.1, "×"),
        constant("create_ratio", true, 2.2, "×"),
        constant("unlock_ratio_100", true, 1.1, "×"),
        constant("unlock_ratio_10000", true, 1.2, "×"),
        constant("list_floor_ratio_10000", true, 2, "×"),
        constant("for_host_floor_ratio_10000", true, 1.5, "×"),
        constant("put_search_floor_ratio_10000", true, 1.5, "×"),
        constant("import_floor_ratio_10000", true, 1.5, "×"),
        constant("reimport_list_ratio_10000", true, 2, "×"),
        constant("export_list_ratio_10000", true, 1.5, "×"),
        constant("cli_ls_ratio_10000", true, 1.1, "×"),
        constant("cli_clip_ratio_10000", true, 1.1, "×"),
        peak_memory("100"),
        peak_memory("1000"),
        peak_memory("10000"),
        constant("popup_rows_ratio_10000", true, 1.5, "×"),
        constant("command_fill_ratio", true, 2, "×"),
        constant("fill_judge_ratio_1000", true, 2, "×"),
        constant("content_share_1000", true, 2, "%"),
        constant("page_churn_ratio", true, 1.1, "×"),
    };
    return all;
}

// Shown beside the targets without one: what the floor ratios divide by, and `list` through
// the browser's framing.
constexpr std::array<std::string_view, 3> REFERENCES{"floor_10000", "list_native_10000",
                                                     "import_floor_10000"};

bool impossible(double value) {
    return !(value >= 0) || std::isinf(value);
}

// Within 5 % of the baseline.
constexpr double LOWEST_RATE_RATIO = 0.95;
constexpr double HIGHEST_TIME_RATIO = 1.05;

}  // namespace

double at(const Medians& medians, std::string_view key) {
    const auto found = medians.find(key);
    if (found == medians.end()) throw std::runtime_error("missing figure " + std::string(key));
    return found->second;
}

std::string format(double value) {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    const double magnitude = value < 0 ? -value : value;
    s.precision(magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : 2);
    s << value;
    std::string text = s.str();
    const std::size_t point = text.find('.');
    const std::size_t digits_end = point == std::string::npos ? text.size() : point;
    const std::size_t digits_start = text.starts_with('-') ? 1 : 0;
    for (std::size_t i = digits_end; i > digits_start + 3; i -= 3) text.insert(i - 3, ",");
    return text;
}

std::optional<Verdict> judge(std::string_view key, double value, const Medians& medians) {
    const auto& all = targets();
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const Target& t) { return t.key == key; });
    if (found == all.end()) return std::nullopt;
    const double bound = found->bound(medians);
    if (impossible(value)) return Verdict{found->text(medians), false, true};
    return Verdict{found->text(medians), found->at_most ? value <= bound : value >= bound};
}

bool in_targets_table(std::string_view key) {
    const auto& all = targets();
    return std::find(REFERENCES.begin(), REFERENCES.end(), key) != REFERENCES.end() ||
           std::any_of(all.begin(), all.end(), [&](const Target& t) { return t.key == key; });
}

Verdict versus_baseline(double ratio, std::string_view unit) {
    const bool rate = unit == "req/s";
    const double bound = rate ? LOWEST_RATE_RATIO : HIGHEST_TIME_RATIO;
    const std::string target = (rate ? "≥ " : "≤ ") + format(bound) + " ×";
    if (impossible(ratio)) return {target, false, true};
    return {target, rate ? ratio >= bound : ratio <= bound};
}

}  // namespace velkaron::bench
