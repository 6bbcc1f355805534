#include "native/extension_id.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/case_name.hpp"

namespace velkaron {
namespace {

const std::string ID(VELKARON_EXTENSION_ID);
const std::string OTHER(32, 'b');

const std::string GECKO(VELKARON_GECKO_ID);
const std::string OTHER_GECKO = "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f60}";
const std::string MANIFEST = "/home/erika/.mozilla/native-messaging-hosts/velkaron.vault.json";

struct CallerCase {
    const char* name;
    std::vector<std::string> args;
    bool allowed;
    std::string named;  // what a refusal shows
};

class Caller : public testing::TestWithParam<CallerCase> {};

TEST_P(Caller, IsAllowedOnlyInItsBrowsersExactFormForAnAllowedId) {
    const std::vector<std::string> allowed{ID, OTHER, GECKO, OTHER_GECKO};
    const std::vector<std::string_view> args(GetParam().args.begin(), GetParam().args.end());
    EXPECT_EQ(caller_allowed(args, allowed), GetParam().allowed);
    EXPECT_EQ(named_caller(args), GetParam().named);
}

INSTANTIATE_TEST_SUITE_P(
    Callers, Caller,
    testing::Values(
        CallerCase{
            "BuiltIn", {"chrome-extension://" + ID + "/"}, true, "chrome-extension://" + ID + "/"},
        CallerCase{"Configured",
                   {"chrome-extension://" + OTHER + "/"},
                   true,
                   "chrome-extension://" + OTHER + "/"},
        CallerCase{"ChromiumWithMore",
                   {"chrome-extension://" + ID + "/", "--parent-window=0"},
                   true,
                   "chrome-extension://" + ID + "/"},
        CallerCase{"OtherId",
                   {"chrome-extension://" + std::string(32, 'c') + "/"},
                   false,
                   "chrome-extension://" + std::string(32, 'c') + "/"},
        CallerCase{"WithoutSlash", {"chrome-extension://" + ID}, false, "chrome-extension://" + ID},
        CallerCase{"WithPath",
                   {"chrome-extension://" + ID + "/x"},
                   false,
                   "chrome-extension://" + ID + "/x"},
        CallerCase{"UpperCase",
                   {"CHROME-EXTENSION://" + ID + "/"},
                   false,
                   "CHROME-EXTENSION://" + ID + "/"},
        CallerCase{
            "OtherScheme", {"moz-extension://" + ID + "/"}, false, "moz-extension://" + ID + "/"},
        CallerCase{"BareId", {ID}, false, ID}, CallerCase{"Empty", {""}, false, ""},
        CallerCase{"None", {}, false, ""},
        CallerCase{"FirefoxBuiltIn", {MANIFEST, GECKO}, true, GECKO},
        CallerCase{"FirefoxConfiguredUuid", {MANIFEST, OTHER_GECKO}, true, OTHER_GECKO},
        CallerCase{"FirefoxOtherId", {MANIFEST, "fremd@example.org"}, false, "fremd@example.org"},
        // A gecko id counts only where Firefox puts it, a Chromium id only in its origin.
        CallerCase{"FirefoxWithChromiumId", {MANIFEST, ID}, false, ID},
        CallerCase{"GeckoIdAsOrigin",
                   {"chrome-extension://" + GECKO + "/"},
                   false,
                   "chrome-extension://" + GECKO + "/"},
        CallerCase{"GeckoIdAlone", {GECKO}, false, GECKO},
        CallerCase{"FirefoxRelativeManifest",
                   {"velkaron.vault.json", GECKO},
                   false,
                   "velkaron.vault.json"},
        CallerCase{"FirefoxWithMore", {MANIFEST, GECKO, "x"}, false, MANIFEST}),
    testing_support::CaseName());

TEST(GeckoId, IsNameAtDomainOrABracedUuid) {
    EXPECT_TRUE(is_gecko_id(GECKO));
    for (const char* id :
         {"a@b", "@b", "x.y-z_1@example.org", "{6F1C3A5E-0D2B-4C8E-9A7F-1B2C3D4E5F60}"}) {
        EXPECT_TRUE(is_gecko_id(id)) << id;
    }
    for (const char* id :
         {"", "tresor", "tresor@", "tre sor@example.org", "a@b@c", "a/b@c",
          "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f6}", "6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f60",
          "{6f1c3a5e_0d2b-4c8e-9a7f-1b2c3d4e5f60}", "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5g60}"}) {
        EXPECT_FALSE(is_gecko_id(id)) << id;
    }
}

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
