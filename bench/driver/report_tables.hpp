#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velkaron::bench {

// The median of every figure by key, the load driver's and the micro-benchmarks' together.
using Medians = std::map<std::string, double, std::less<>>;

// Throws when `key` is missing.
[[nodiscard]] double at(const Medians& medians, std::string_view key);

// Fixed decimals by magnitude (none from 100, one from 10, else two), thousands separated.
[[nodiscard]] std::string format(double value);

// A target in words and whether a value meets it. Every figure is a time, a rate, a size, a
// share or a ratio of them: one below zero or not a number is a fault of the measurement,
// which meets no target.
struct Verdict {
    std::string target;
    bool met;
    bool impossible = false;
};

// The verdict on the median `value` of figure `key`, nothing for a figure without target. A
// bound may depend on other figures (the memory bound on the size of the vault file), which
// then must be in `medians`.
[[nodiscard]] std::optional<Verdict> judge(std::string_view key, double value,
                                           const Medians& medians);

// Whether the targets table shows figure `key`: those with a target, and those the targets
// are taken against.
[[nodiscard]] bool in_targets_table(std::string_view key);

// Whether this build's figure, `ratio` times the baseline's, is within 5 % of it: a rate
// ("req/s") may be as low as 0.95 ×, a time as high as 1.05 ×.
[[nodiscard]] Verdict versus_baseline(double ratio, std::string_view unit);

}  // namespace velkaron::bench
