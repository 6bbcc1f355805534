#pragma once

#include <vector>

namespace velkaron::bench {

// Nearest-rank percentile: the smallest sample that at least `percent` % of all samples do
// not exceed. `percent` lies in 1…100; `samples` must not be empty.
[[nodiscard]] double percentile(std::vector<double> samples, unsigned percent);

// The middle sample, or the mean of the two middle samples of an even count.
[[nodiscard]] double median(std::vector<double> samples);

}  // namespace velkaron::bench
