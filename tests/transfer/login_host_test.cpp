#include <gtest/gtest.h>

#include <string>

#include "support/case_name.hpp"
#include "transfer/login_host.hpp"

namespace velkaron {
namespace {

using testing_support::CaseName;

struct HostCase {
    const char* name;
    const char* url;
    const char* host;    // or nullptr when skipped
    const char* reason;  // when skipped
};

// What a browser's URL(...).hostname gives for the same address.
const HostCase HOST_CASES[] = {
    {"Https", "https://example.org/login", "example.org", nullptr},
    {"HttpIsImported", "http://example.org", "example.org", nullptr},
    {"UpperCase", "HTTPS://WWW.Example.ORG/", "www.example.org", nullptr},
    {"UserInfoPortQueryFragment", "https://erika:pw@sub.example.org:8443/a?b=c#d",
     "sub.example.org", nullptr},
    {"AtSignInPathIsNotUserInfo", "https://example.org/@user", "example.org", nullptr},
    {"BackslashesAsSlashes", "https:\\\\example.org\\login", "example.org", nullptr},
    {"SurroundingSpacesAndInnerTab", "  https://exa\tmple.org/ ", "example.org", nullptr},
    {"BareHost", "example.org", "example.org", nullptr},
    {"BareHostWithPort", "Example.org:8080/login", "example.org", nullptr},
    {"BareHostEndsAtQuery", "example.org?x", "example.org", nullptr},
    {"BareHostEndsAtFragment", "example.org#x", "example.org", nullptr},
    {"LocalhostWithPort", "localhost:3000", "localhost", nullptr},
    {"Umlauts", "https://bücher.example/", "xn--bcher-kva.example", nullptr},
    {"UpperCaseUmlautsFolded", "https://BÜCHER.example/", "xn--bcher-kva.example", nullptr},
    {"SharpSNonTransitional", "https://straße.de/", "xn--strae-oqa.de", nullptr},
    {"FullWidthLetters", "https://ｅｘａｍｐｌｅ.org/", "example.org", nullptr},
    {"PercentEncodedHost", "https://ex%61mple.org/", "example.org", nullptr},
    {"Ipv4", "https://192.168.0.1:8443/", "192.168.0.1", nullptr},
    {"Ipv6KeepsBrackets", "https://[::1]:8443/", "[::1]", nullptr},
    {"Android", "android://abc@com.example.app/", nullptr, "Schema `android:` nicht unterstützt"},
    {"Chrome", "chrome://settings", nullptr, "Schema `chrome:` nicht unterstützt"},
    {"Ftp", "FTP://files.example.org", nullptr, "Schema `ftp:` nicht unterstützt"},
    {"Empty", "", nullptr, "keine Adresse"},
    {"OnlySpaces", "   ", nullptr, "keine Adresse"},
    {"EmptyHost", "https://:8080/login", nullptr, "kein gültiger Host in der Adresse"},
    {"ForbiddenCharacter", "https://exa mple.org/", nullptr, "kein gültiger Host in der Adresse"},
    {"UnclosedIpv6", "https://[::1/", nullptr, "kein gültiger Host in der Adresse"},
};

class LoginHost : public testing::TestWithParam<HostCase> {};

TEST_P(LoginHost, AsTheBrowserGivesIt) {
    const HostCase& c = GetParam();
    const auto host = login_host(c.url);
    if (c.host != nullptr) {
        ASSERT_TRUE(host.has_value()) << host.error();
        EXPECT_EQ(host->view(), c.host);
    } else {
        ASSERT_FALSE(host.has_value()) << host->view();
        EXPECT_EQ(host.error(), c.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(Addresses, LoginHost, testing::ValuesIn(HOST_CASES), CaseName());

}  // namespace
}  // namespace velkaron
