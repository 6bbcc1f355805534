#include "keys/recovery_code.hpp"

#include <gtest/gtest.h>

#include <set>

namespace velkaron {
namespace {

TEST(RecoveryCode, IsFiveGroupsOfFourFromTheAlphabet) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const SecretString code = generate_recovery_code();
        ASSERT_EQ(code.size(), 24u) << code;
        for (std::size_t at = 0; at < code.size(); ++at) {
            if (at % 5 == 4) {
                EXPECT_EQ(code[at], '-') << code;
            } else {
                EXPECT_NE(RECOVERY_CODE_ALPHABET.find(code[at]), std::string_view::npos) << code;
            }
        }
        seen.insert(std::string(code.view()));
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(RecoveryCode, GeneratedCodeNormalizesToItsCharacters) {
    const SecretString code = generate_recovery_code();
    std::string expected(code.view());
    std::erase(expected, '-');
    EXPECT_EQ(normalize_recovery_code(code).view(), expected);
}

TEST(RecoveryCode, NormalizingKeepsOnlyAsciiLettersAndDigitsInUpperCase) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"abcd efgh-jklm_npqr stuv", "ABCDEFGHJKLMNPQRSTUV"},
        {"- -- -", ""},
        {"", ""},
        {"io01", "IO01"},  // outside the alphabet, still kept
        {"\xC3\xA4"
         "b2\xC3\x9F",
         "B2"},                              // ä and ß fall away
        {"\xEF\xBC\xA1\xEF\xBC\x91z", "Z"},  // fullwidth A and 1 are not ASCII
        {"\tA\r\nB\x7F", "AB"},
    };
    for (const auto& [typed, normalized] : cases) {
        EXPECT_EQ(normalize_recovery_code(typed).view(), normalized) << typed;
    }
}

}  // namespace
}  // namespace velkaron
