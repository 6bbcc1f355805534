#include "entries/generator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>
#include <string_view>

namespace velkaron {
namespace {

constexpr std::string_view ALPHABET =
    "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!@#$%^&*-_=+?";

struct LengthCase {
    std::optional<std::uint64_t> requested;
    std::size_t length;
};

class GeneratorLength : public testing::TestWithParam<LengthCase> {};

TEST_P(GeneratorLength, IsClampedToEightToOneHundredTwentyEight) {
    EXPECT_EQ(generate_password(GetParam().requested).size(), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    Generate, GeneratorLength,
    testing::Values(LengthCase{std::nullopt, 20}, LengthCase{0, 8}, LengthCase{7, 8},
                    LengthCase{8, 8}, LengthCase{9, 9}, LengthCase{20, 20}, LengthCase{127, 127},
                    LengthCase{128, 128}, LengthCase{129, 128},
                    LengthCase{std::numeric_limits<std::uint64_t>::max(), 128}),
    [](const testing::TestParamInfo<LengthCase>& param_info) {
        const auto& requested = param_info.param.requested;
        return (requested ? "Requested" + std::to_string(*requested) : std::string("NoLength")) +
               "Gives" + std::to_string(param_info.param.length);
    });

// A byte picks the character at its value modulo 70: every character occurs, and the first 46
// (a to W) come up four times in 256, the other 24 three times.
TEST(Generator, DrawsEveryCharacterOfTheAlphabetWithTheModuloWeights) {
    std::array<std::size_t, ALPHABET.size()> counts{};
    constexpr int DRAWS = 2000;
    for (int i = 0; i < DRAWS; ++i) {
        for (const char c : generate_password(128)) {
            const auto at = ALPHABET.find(c);
            ASSERT_NE(at, std::string_view::npos) << "not in the alphabet: " << c;
            ++counts[at];
        }
    }
    const double per_weight = DRAWS * 128.0 / 256.0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double expected = (i < 46 ? 4 : 3) * per_weight;
        // About eight standard deviations of noise, yet tighter than the gap to an even draw.
        EXPECT_NEAR(static_cast<double>(counts[i]), expected, 0.12 * expected) << ALPHABET[i];
    }
}

TEST(Generator, DrawsAFreshPasswordEachTime) {
    EXPECT_NE(generate_password(std::nullopt), generate_password(std::nullopt));
}

}  // namespace
}  // namespace velkaron
