#include "native/extension_id.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/case_name.hpp"

namespace velkaron {
namespace {

const std::string ID(VELKARON_EXTENSION_ID);
const std::string OTHER(32, 'b');

struct OriginCase {
    const char* name;
    std::string origin;
    bool allowed;
};

class Origin : public testing::TestWithParam<OriginCase> {};

TEST_P(Origin, IsAllowedOnlyInTheExactFormForAnAllowedId) {
    const std::vector<std::string> allowed{ID, OTHER};
    EXPECT_EQ(origin_allowed(GetParam().origin, allowed), GetParam().allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Origins, Origin,
    testing::Values(OriginCase{"BuiltIn", "chrome-extension://" + ID + "/", true},
                    OriginCase{"Configured", "chrome-extension://" + OTHER + "/", true},
                    OriginCase{"OtherId", "chrome-extension://" + std::string(32, 'c') + "/",
                               false},
                    OriginCase{"WithoutSlash", "chrome-extension://" + ID, false},
                    OriginCase{"WithPath", "chrome-extension://" + ID + "/x", false},
                    OriginCase{"UpperCase", "CHROME-EXTENSION://" + ID + "/", false},
                    OriginCase{"OtherScheme", "moz-extension://" + ID + "/", false},
                    OriginCase{"BareId", ID, false}, OriginCase{"Empty", "", false}),
    testing_support::CaseName());

TEST(ExtensionId, IsThirtyTwoLettersAToP) {
    EXPECT_TRUE(is_extension_id(ID));
    EXPECT_TRUE(is_extension_id(std::string(32, 'p')));
    EXPECT_FALSE(is_extension_id(std::string(31, 'a')));
    EXPECT_FALSE(is_extension_id(std::string(33, 'a')));
    EXPECT_FALSE(is_extension_id(std::string(31, 'a') + "q"));
    EXPECT_FALSE(is_extension_id(std::string(31, 'a') + "A"));
    EXPECT_FALSE(is_extension_id(""));
}

}  // namespace
}  // namespace velkaron
