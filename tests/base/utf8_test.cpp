#include "base/utf8.hpp"

#include <gtest/gtest.h>

#include "support/case_name.hpp"

namespace velkaron {
namespace {

struct Utf8Case {
    const char* name;
    std::string bytes;
    bool valid;
    bool blank;
};

class Utf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ValidityAndBlanknessWholeAndInPieces) {
    const auto& c = GetParam();
    Utf8Scanner whole;
    const bool fed = whole.feed(c.bytes);
    EXPECT_EQ(fed && whole.complete(), c.valid) << c.name;
    if (c.valid) {
        EXPECT_EQ(whole.blank(), c.blank) << c.name;
    }

    // Byte by byte gives the same verdict: sequences may be split across reads.
    Utf8Scanner pieces;
    bool ok = true;
    for (const char b : c.bytes) ok = pieces.feed(std::string_view(&b, 1)) && ok;
    EXPECT_EQ(ok && pieces.complete(), c.valid) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Strict, Utf8,
    testing::Values(
        Utf8Case{"empty", "", true, true}, Utf8Case{"ascii", "abc", true, false},
        Utf8Case{"spaces and tabs", " \t\r\v\f", true, true},
        Utf8Case{"no-break spaces", "\xC2\xA0\xC2\xA0", true, true},
        Utf8Case{"ideographic space, line separator", "\xE3\x80\x80\xE2\x80\xA8", true, true},
        Utf8Case{"next line", "\xC2\x85", true, true},
        Utf8Case{"zero width space is not whitespace", "\xE2\x80\x8B", true, false},
        Utf8Case{"byte order mark is not whitespace", "\xEF\xBB\xBF", true, false},
        Utf8Case{"four-byte character", "\xF0\x9F\x94\x91", true, false},
        Utf8Case{"largest code point", "\xF4\x8F\xBF\xBF", true, false},
        Utf8Case{"overlong two-byte", "\xC0\x80", false, false},
        Utf8Case{"overlong three-byte", "\xE0\x80\xAF", false, false},
        Utf8Case{"overlong four-byte", "\xF0\x80\x80\xAF", false, false},
        Utf8Case{"encoded surrogate", "\xED\xA0\x80", false, false},
        Utf8Case{"above U+10FFFF", "\xF4\x90\x80\x80", false, false},
        Utf8Case{"lone continuation", "\x80", false, false},
        Utf8Case{"truncated sequence", "a\xE2\x82", false, false},
        Utf8Case{"interrupted sequence",
                 "\xE2\x82"
                 "a",
                 false, false},
        Utf8Case{"invalid lead byte", "\xFF", false, false},
        // Long enough for runs of ASCII to be skipped eight bytes at a time.
        Utf8Case{"invalid byte after a long run", "aaaaaaaaaaaaaaaaaaa\xFF", false, false},
        Utf8Case{"invalid byte inside a word",
                 "aaaaaaaaa\x80"
                 "aaaaaaaa",
                 false, false},
        Utf8Case{"character between long runs",
                 "aaaaaaaaaaaaaaaaa\xE2\x82\xAC"
                 "bbbbbbbbb",
                 true, false},
        Utf8Case{"sequence cut after a long run", "aaaaaaaaaaaaaaaa\xC3", false, false},
        Utf8Case{"long white space, then a bad byte", "            \xFF", false, false},
        Utf8Case{"long white space, then no-break space", "            \xC2\xA0", true, true}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
