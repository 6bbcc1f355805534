#include "stats.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace velkaron::bench {
namespace {

TEST(Percentile, NearestRankOnUnsortedSamples) {
    const std::vector<double> samples{5, 1, 4, 2, 3};
    EXPECT_EQ(percentile(samples, 1), 1);
    EXPECT_EQ(percentile(samples, 20), 1);
    EXPECT_EQ(percentile(samples, 21), 2);
    EXPECT_EQ(percentile(samples, 50), 3);
    EXPECT_EQ(percentile(samples, 100), 5);
}

TEST(Percentile, P99OfHundredSamplesIsTheNinetyNinthSmallest) {
    std::vector<double> samples;
    for (int i = 100; i >= 1; --i) samples.push_back(i);
    EXPECT_EQ(percentile(samples, 99), 99);
    EXPECT_EQ(percentile(samples, 50), 50);
}

TEST(Percentile, RankIsNotMovedByRounding) {
    // 7 % of 20,000 is exactly rank 1,400; ceil(0.07 * 20000) in floating point is 1,401.
    std::vector<double> samples;
    for (int i = 1; i <= 20000; ++i) samples.push_back(i);
    EXPECT_EQ(percentile(samples, 7), 1400);
    EXPECT_EQ(percentile(samples, 99), 19800);
}

TEST(Percentile, RefusesNoSamplesAndPercentOutsideRange) {
    EXPECT_THROW((void)percentile({}, 50), std::invalid_argument);
    EXPECT_THROW((void)percentile({1.0}, 0), std::invalid_argument);
    EXPECT_THROW((void)percentile({1.0}, 101), std::invalid_argument);
}

TEST(Median, OddAndEvenCounts) {
    EXPECT_EQ(median({7}), 7);
    EXPECT_EQ(median({9, 1, 5}), 5);
    EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
    EXPECT_THROW((void)median({}), std::invalid_argument);
}

}  // namespace
}  // namespace velkaron::bench
