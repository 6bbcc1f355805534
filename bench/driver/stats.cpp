#include "stats.hpp"

#include <algorithm>
#include <stdexcept>

namespace velkaron::bench {

double percentile(std::vector<double> samples, unsigned percent) {
    if (samples.empty()) throw std::invalid_argument("percentile of no samples");
    if (percent < 1 || percent > 100) throw std::invalid_argument("percent outside 1…100");
    // Integer ceiling of percent × n / 100, so that no rounding moves the rank.
    const std::size_t rank = (percent * samples.size() + 99) / 100;
    const auto at = samples.begin() + static_cast<std::ptrdiff_t>(rank - 1);
    std::nth_element(samples.begin(), at, samples.end());
    return *at;
}

double median(std::vector<double> samples) {
    if (samples.empty()) throw std::invalid_argument("median of no samples");
    std::sort(samples.begin(), samples.end());
    const std::size_t mid = samples.size() / 2;
    if (samples.size() % 2 == 1) return samples[mid];
    return (samples[mid - 1] + samples[mid]) / 2.0;
}

}  // namespace velkaron::bench
