// The streaming writer against the library's own compact output on random documents, and the
// member writer against the order it is given.

#include "json/writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "json/reader.hpp"

namespace velkaron::json {
namespace {

using json = velkaron::Json;

class RandomDocuments {
  public:
    explicit RandomDocuments(unsigned seed) : engine_(seed) {}

    json value(int depth = 0) {
        switch (pick(depth < 4 ? 9 : 7)) {
            case 0:
                return nullptr;
            case 1:
                return pick(2) == 0;
            case 2:
                return static_cast<std::int64_t>(engine_());
            case 3:
                return engine_();  // unsigned, beyond the signed range half of the time
            case 4:
                return corner_number();
            case 5:
                return std::ldexp(static_cast<double>(engine_()), static_cast<int>(pick(80)) - 40);
            case 6:
                return text();
            case 7: {
                json object = json::object();
                for (std::size_t n = pick(5); n > 0; --n)
                    object[json::string_t(text())] = value(depth + 1);
                return object;
            }
            default: {
                json array = json::array();
                for (std::size_t n = pick(5); n > 0; --n) array.push_back(value(depth + 1));
                return array;
            }
        }
    }

  private:
    std::size_t pick(std::size_t bound) { return engine_() % bound; }

    json corner_number() {
        switch (pick(5)) {
            case 0:
                return 0;
            case 1:
                return std::numeric_limits<std::int64_t>::min();
            case 2:
                return std::numeric_limits<std::uint64_t>::max();
            case 3:
                return -1;
            default:
                return std::numeric_limits<double>::quiet_NaN();
        }
    }

  public:
    // Mostly UTF-8 with every kind of character the escaping treats differently; now and then
    // raw bytes that may not be UTF-8 at all.
    std::string text() {
        std::string s;
        const bool raw = pick(8) == 0;
        for (std::size_t n = pick(12); n > 0; --n) {
            if (raw) {
                s += static_cast<char>(pick(256));
                continue;
            }
            switch (pick(6)) {
                case 0:
                    s += static_cast<char>(pick(0x20));
                    break;
                case 1:
                    s += "\"\\/\x7F"[pick(4)];
                    break;
                case 2:
                    append_code_point(s, 0x80 + pick(0x780));
                    break;
                case 3:
                    append_code_point(s, 0x800 + pick(0xD000));
                    break;
                case 4:
                    append_code_point(s, 0x10000 + pick(0x100000));
                    break;
                default:
                    s += static_cast<char>(0x20 + pick(0x5F));
                    break;
            }
        }
        return s;
    }

  private:
    static void append_code_point(std::string& s, std::uint32_t c) {
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // surrogates are not characters
        if (c < 0x800) {
            s += static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (c >> 18));
            s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        s += static_cast<char>(0x80 | (c & 0x3F));
    }

    std::mt19937_64 engine_;
};

TEST(Writer, MatchesTheLibraryOnRandomDocuments) {
    RandomDocuments random(20261209);
    int refused = 0;
    for (int i = 0; i < 20000; ++i) {
        const json document = random.value();
        SecretString written;
        const bool ok = append_value(written, document);
        try {
            const auto expected = document.dump(-1, ' ', false, json::error_handler_t::strict);
            ASSERT_TRUE(ok) << "refused what the library writes: " << expected;
            ASSERT_EQ(written, expected);
        } catch (const json::type_error&) {
            ASSERT_FALSE(ok) << "wrote what the library refuses: " << written;
            ++refused;
        }
    }
    EXPECT_GT(refused, 0) << "the documents never held text that is not UTF-8";
}

TEST(Writer, StringThatIsNotUtf8WritesNothing) {
    std::string out = "x";
    EXPECT_FALSE(append_string(out, "ab\xC3"));
    EXPECT_FALSE(append_string(out, "\xED\xA0\x80"));  // a surrogate
    EXPECT_EQ(out, "x");
}

TEST(Writer, MemberNamesAreCheckedAndEscaped) {
    SecretString out;
    EXPECT_TRUE(append_value(out, json{{"a\"b", 1}, {"\n", true}}));
    EXPECT_EQ(out, R"({"\n":true,"a\"b":1})");
    out.clear();
    EXPECT_FALSE(append_value(out, json{{"\xFF", 1}}));
}

TEST(Writer, PrefixWithinABudgetIsTheLongestThatFits) {
    RandomDocuments random(20261210);
    const auto written_size = [](std::string_view text) {
        std::string out;
        EXPECT_TRUE(append_string(out, text)) << "cut inside a character";
        return out.size();
    };
    int cut = 0;
    for (int i = 0; i < 5000; ++i) {
        const std::string text = random.text() + random.text() + random.text();
        if (std::string probe; !append_string(probe, text)) continue;
        for (std::size_t budget = 0; budget <= 40; ++budget) {
            const std::size_t n = string_prefix_within(text, budget);
            ASSERT_LE(n, text.size());
            if (budget >= 2) {
                ASSERT_LE(written_size(text.substr(0, n)), budget) << text;
            }
            if (n == text.size()) continue;
            ++cut;
            // One character more would not fit.
            std::size_t next = n + 1;
            while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) {
                ++next;
            }
            ASSERT_GT(written_size(text.substr(0, next)), budget) << text;
        }
    }
    EXPECT_GT(cut, 1000);
}

// Data written member by member comes out as the same data built as a Json.
TEST(MemberWriter, WritesWhatTheSameJsonWrites) {
    SecretString written;
    DataWriter out(written);
    ObjectWriter object(out);
    object.member("a").number(18446744073709551615U);
    ArrayWriter items(object.member("b"));
    ObjectWriter(items.element()).close();
    items.element().boolean(false);
    items.element().null();
    items.close();
    ArrayWriter(object.member("c")).close();
    object.member("d").string("x\"\n\xC3\xA4");
    object.close();

    SecretString expected;
    ASSERT_TRUE(append_value(expected, json{{"d", "x\"\n\xC3\xA4"},
                                            {"c", json::array()},
                                            {"b", json::array({json::object(), false, nullptr})},
                                            {"a", 18446744073709551615U}}));
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(out.encodable());
}

struct Pair {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
};
constexpr auto PAIR_FIELDS =
    field_table(field<&Pair::first>("first"), field<&Pair::second>("second"));

// Only debug builds check the order; an optimised build writes what it is given.
TEST(MemberWriterDeathTest, DebugBuildsRefuseAnotherOrder) {
    std::string text;
    BasicDataWriter<std::string> out(text);
    EXPECT_DEBUG_DEATH(
        {
            ObjectWriter object(out);
            object.member("b").number(1);
            object.member("a").number(2);
        },
        "declared order");
    EXPECT_DEBUG_DEATH(
        {
            ObjectWriter object(out);
            object.member("a").number(1);
            object.member("a").number(2);
        },
        "declared order");
    EXPECT_DEBUG_DEATH(
        {
            ObjectWriter object(out, MemberOrder(PAIR_FIELDS));
            object.member("second").number(1);
        },
        "declared order");
    EXPECT_DEBUG_DEATH(
        {
            ObjectWriter object(out, MemberOrder(PAIR_FIELDS));
            object.member("first").number(1);
            object.close();
        },
        "all its members");
}

TEST(MemberWriter, StringThatIsNotUtf8MakesTheDataUnencodable) {
    SecretString written;
    DataWriter out(written);
    ObjectWriter object(out);
    object.member("a").string("\xFF");
    object.close();
    EXPECT_FALSE(out.encodable());
}

}  // namespace
}  // namespace velkaron::json
