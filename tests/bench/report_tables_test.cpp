#include "report_tables.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace velkaron::bench {
namespace {

TEST(ReportFormat, DecimalsByMagnitudeAndThousandsSeparated) {
    const std::pair<double, std::string_view> cases[] = {
        {0, "0.00"},           {0.354, "0.35"},       {9.5, "9.50"},
        {33.94, "33.9"},       {100, "100"},          {999.4, "999"},
        {1000, "1,000"},       {275535.4, "275,535"}, {1234567, "1,234,567"},
        {-0.5, "-0.50"},       {-28.34, "-28.3"},     {-1500, "-1,500"},
        {-123456, "-123,456"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(format(value), text) << value;
}

struct Judged {
    std::string_view key;
    double value;
    bool met;
    std::string_view target;
};

// At the bound a target is met; just past it, not. The floor ratios and the memory bound are
// this round's, the others carried over.
TEST(ReportTargets, BoundsAndTheirDirection) {
    const Medians medians{{"vault_size_10000", 3.25}, {"vault_size_100", 0.03}};
    const Judged cases[] = {
        {"list_floor_ratio_10000", 2.0, true, "≤ 2.00 ×"},
        {"list_floor_ratio_10000", 2.01, false, "≤ 2.00 ×"},
        {"for_host_floor_ratio_10000", 1.5, true, "≤ 1.50 ×"},
        {"for_host_floor_ratio_10000", 1.51, false, "≤ 1.50 ×"},
        {"put_search_floor_ratio_10000", 1.51, false, "≤ 1.50 ×"},
        {"unlock_ratio_10000", 1.2, true, "≤ 1.20 ×"},
        {"unlock_ratio_10000", 1.21, false, "≤ 1.20 ×"},
        {"status_rate_ratio", 0.75, true, "≥ 0.75 ×"},
        {"status_rate_ratio", 0.74, false, "≥ 0.75 ×"},
        {"status_rate_ratio", 3.0, true, "≥ 0.75 ×"},
        {"status_p50_ratio", 1.21, false, "≤ 1.20 ×"},
        {"native_status_p50_ratio", 1.1, true, "≤ 1.10 ×"},
        {"unlock_peak_rss_10000", 78.5, true, "≤ 64 + 2 × 3.25 + 8 = 78.5 MiB"},
        {"unlock_peak_rss_10000", 78.51, false, "≤ 64 + 2 × 3.25 + 8 = 78.5 MiB"},
        {"unlock_peak_rss_100", 72.1, false, "≤ 64 + 2 × 0.03 + 8 = 72.1 MiB"},
    };
    for (const auto& c : cases) {
        const auto verdict = judge(c.key, c.value, medians);
        ASSERT_TRUE(verdict.has_value()) << c.key;
        EXPECT_EQ(verdict->met, c.met) << c.key << " at " << c.value;
        EXPECT_EQ(verdict->target, c.target) << c.key;
    }
}

TEST(ReportTargets, AbsoluteTimesHaveNoneAndTheMemoryBoundNeedsTheFileSize) {
    for (const std::string_view key : {"list_10000", "for_host_10000", "put_search_10000",
                                       "status_rate", "floor_10000", "list_native_10000"}) {
        EXPECT_EQ(judge(key, 1.0, {}), std::nullopt) << key;
    }
    EXPECT_THROW((void)judge("unlock_peak_rss_1000", 70, {}), std::runtime_error);
}

TEST(ReportTargets, TableShowsTheTargetsAndWhatTheyAreTakenAgainst) {
    const std::pair<std::string_view, bool> cases[] = {
        {"floor_10000", true},
        {"list_native_10000", true},
        {"list_floor_ratio_10000", true},
        {"unlock_peak_rss_1000", true},
        {"derive_key_ratio", true},
        {"list_10000", false},
        {"floor_100", false},
        {"list_floor_ratio_100", false},
    };
    for (const auto& [key, shown] : cases) EXPECT_EQ(in_targets_table(key), shown) << key;
}

TEST(ReportVersusBaseline, RatesMayFallAndTimesRiseByFivePercent) {
    const std::tuple<std::string_view, double, bool, std::string_view> cases[] = {
        {"req/s", 0.95, true, "≥ 0.95 ×"}, {"req/s", 0.949, false, "≥ 0.95 ×"},
        {"req/s", 1.5, true, "≥ 0.95 ×"},  {"ms", 1.05, true, "≤ 1.05 ×"},
        {"ms", 1.051, false, "≤ 1.05 ×"},  {"ms", 0.6, true, "≤ 1.05 ×"},
    };
    for (const auto& [unit, ratio, within, bound] : cases) {
        const Verdict verdict = versus_baseline(ratio, unit);
        EXPECT_EQ(verdict.met, within) << unit << ' ' << ratio;
        EXPECT_EQ(verdict.target, bound) << unit;
    }
}

// A difference of two noisy times can come out below zero; such a figure is the measurement's
// fault and meets no bound, however far below an upper one it lies.
TEST(ReportTargets, ImpossibleFiguresMeetNoTarget) {
    const Medians medians{{"vault_size_10000", 3.25}};
    const std::pair<std::string_view, double> cases[] = {
        {"export_list_ratio_10000", -3.08},
        {"export_list_ratio_10000", std::nan("")},
        {"status_rate_ratio", std::numeric_limits<double>::infinity()},
        {"unlock_peak_rss_10000", -1},
    };
    for (const auto& [key, value] : cases) {
        const auto verdict = judge(key, value, medians);
        ASSERT_TRUE(verdict.has_value()) << key;
        EXPECT_FALSE(verdict->met) << key << " at " << value;
        EXPECT_TRUE(verdict->impossible) << key << " at " << value;
    }
    EXPECT_FALSE(judge("export_list_ratio_10000", 0.9, medians)->impossible);
    for (const std::string_view unit : {"ms", "req/s"}) {
        const Verdict verdict = versus_baseline(-0.2, unit);
        EXPECT_FALSE(verdict.met) << unit;
        EXPECT_TRUE(verdict.impossible) << unit;
    }
}

}  // namespace
}  // namespace velkaron::bench
