#include "entries/host_match.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "support/case_name.hpp"

namespace velkaron {
namespace {

struct HostCase {
    const char* name;
    const char* stored;
    const char* requested;
    bool match;
    std::optional<bool> before{};  // in the mended rows: the result before the mending
};

void PrintTo(const HostCase& c, std::ostream* out) {
    *out << '"' << c.stored << "\" for \"" << c.requested << '"';
}

class HostMatch : public testing::TestWithParam<HostCase> {};

TEST_P(HostMatch, FollowsTheOneWayRule) {
    const auto& c = GetParam();
    EXPECT_EQ(HostMatcher(c.requested).matches(c.stored), c.match);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, HostMatch,
    testing::Values(
        // The same host, a "www." prefix, the prefix in upper case, any subdomain.
        HostCase{"SameHost", "example.com", "example.com", true},
        HostCase{"WwwPrefix", "example.com", "www.example.com", true},
        HostCase{"UpperCaseWwwPrefix", "example.com", "WWW.example.com", true},
        HostCase{"DeepSubdomain", "example.com", "a.b.example.com", true},
        HostCase{"SubdomainInOtherCase", "Example.COM", "login.EXAMPLE.com", true},
        // Stored with one or two prefixes normalises to the bare host.
        HostCase{"StoredWithWww", "www.example.com", "example.com", true},
        HostCase{"StoredWithTwoWww", "www.www.example.com", "example.com", true},
        HostCase{"BothWithPrefixes", "www.example.com", "www.www.example.com", true},
        // An upper-case prefix stays part of the host.
        HostCase{"UpperCaseWwwOnBothSides", "WWW.example.com", "WWW.example.com", true},
        HostCase{"UpperCaseWwwUnderWww", "WWW.example.com", "www.WWW.example.com", true},
        HostCase{"UpperCaseWwwNotBareHost", "WWW.example.com", "example.com", false},
        HostCase{"UpperCaseWwwNotLowerCaseWww", "WWW.example.com", "www.example.com", false},
        // One way only: neither parent nor sibling, and never without a dot before the host.
        HostCase{"NotTheParent", "login.example.com", "example.com", false},
        HostCase{"NotASibling", "login.example.com", "mail.example.com", false},
        HostCase{"NoDotBeforeTheHost", "example.com", "badexample.com", false},
        HostCase{"LeadingDot", "example.com", ".example.com", true},
        // Ports, trailing dots, schemes and spaces take part in the comparison.
        HostCase{"StoredPort", "example.com:8443", "example.com", false},
        HostCase{"RequestedPort", "example.com", "example.com:8443", false},
        HostCase{"StoredTrailingDot", "example.com.", "example.com", false},
        HostCase{"RequestedTrailingDot", "example.com", "example.com.", false},
        HostCase{"RequestedScheme", "example.com", "https://example.com", false},
        HostCase{"StoredTrailingSpace", "example.com ", "example.com", false},
        // Empty after normalisation never matches.
        HostCase{"StoredEmpty", "", "example.com", false},
        HostCase{"StoredOnlyWww", "www.", "example.com", false},
        // A requested host that ends with a dot would end with "." and an empty stored host.
        HostCase{"StoredEmptyUnderTrailingDot", "", "example.com.", false},
        HostCase{"StoredOnlyWwwUnderTrailingDot", "www.", "example.com.", false},
        HostCase{"BothOnlyWww", "www.", "www.", false},
        HostCase{"RequestedOnlyWww", "example.com", "www.", false},
        HostCase{"BothEmpty", "", "", false},
        // Only ASCII letters fold.
        HostCase{"NonAsciiUpperRequested", "bücher.de", "BÜCHER.de", false},
        HostCase{"AsciiFoldedBesideNonAscii", "bücher.de", "BüCHER.DE", true},
        HostCase{"NonAsciiUpperStored", "ÄRZTE.de", "ärzte.de", false}),
    testing_support::CaseName{});

// The rows whose result the mended rule changed, beside rows of the same shape it keeps: a
// stored "www." no longer serves the parent's other subdomains, and an IP address has none.
// `before` is what the rule gave before it was mended, for the reader.
INSTANTIATE_TEST_SUITE_P(
    Mended, HostMatch,
    testing::Values(
        // Changed.
        HostCase{"WwwNotForSibling", "www.shop.test", "user-content.shop.test", false, true},
        HostCase{"TwoWwwNotForSibling", "www.www.shop.test", "a.shop.test", false, true},
        HostCase{"IpNotUnderShorterIp", "0.0.1", "127.0.0.1", false, true},
        HostCase{"IpLastLabelDigits", "123", "host.123", false, true},
        HostCase{"BracketedIpv6", "2.3.4]", "[::ffff:1.2.3.4]", false, true},
        // Kept.
        HostCase{"WwwForBareHost", "www.shop.test", "shop.test", true, true},
        HostCase{"WwwForItself", "www.shop.test", "www.shop.test", true, true},
        HostCase{"WwwForUpperCaseWww", "www.shop.test", "WWW.shop.test", true, true},
        HostCase{"WwwForItsSubdomain", "www.shop.test", "login.www.shop.test", true, true},
        HostCase{"BareForSubdomain", "shop.test", "user-content.shop.test", true, true},
        HostCase{"IpForEqualIp", "127.0.0.1", "127.0.0.1", true, true},
        HostCase{"Ipv6ForEqualIpv6", "[::1]", "[::1]", true, true},
        HostCase{"DigitsInsideName", "shop.test", "7.shop.test", true, true}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
