#include "entries/host_match.hpp"

#include <gtest/gtest.h>

namespace velkaron {
namespace {

struct HostCase {
    const char* stored;
    const char* requested;
    bool match;
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
        HostCase{"example.com", "example.com", true},
        HostCase{"example.com", "www.example.com", true},
        HostCase{"example.com", "WWW.example.com", true},
        HostCase{"example.com", "a.b.example.com", true},
        HostCase{"Example.COM", "login.EXAMPLE.com", true},
        // Stored with one or two prefixes normalises to the bare host.
        HostCase{"www.example.com", "example.com", true},
        HostCase{"www.www.example.com", "example.com", true},
        HostCase{"www.example.com", "www.www.example.com", true},
        // An upper-case prefix stays part of the host.
        HostCase{"WWW.example.com", "WWW.example.com", true},
        HostCase{"WWW.example.com", "www.WWW.example.com", true},
        HostCase{"WWW.example.com", "example.com", false},
        HostCase{"WWW.example.com", "www.example.com", false},
        // One way only: neither parent nor sibling, and never without a dot before the host.
        HostCase{"login.example.com", "example.com", false},
        HostCase{"login.example.com", "mail.example.com", false},
        HostCase{"example.com", "badexample.com", false},
        HostCase{"example.com", ".example.com", true},
        // Ports, trailing dots, schemes and spaces take part in the comparison.
        HostCase{"example.com:8443", "example.com", false},
        HostCase{"example.com", "example.com:8443", false},
        HostCase{"example.com.", "example.com", false},
        HostCase{"example.com", "example.com.", false},
        HostCase{"example.com", "https://example.com", false},
        HostCase{"example.com ", "example.com", false},
        // Empty after normalisation never matches.
        HostCase{"", "example.com", false}, HostCase{"www.", "example.com", false},
        HostCase{"www.", "www.", false}, HostCase{"example.com", "www.", false},
        HostCase{"", "", false},
        // Only ASCII letters fold.
        HostCase{"bücher.de", "BÜCHER.de", false}, HostCase{"bücher.de", "BüCHER.DE", true},
        HostCase{"ÄRZTE.de", "ärzte.de", false}));

}  // namespace
}  // namespace velkaron
