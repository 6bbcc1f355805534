#include "json/reader.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "support/case_name.hpp"

namespace velkaron::json {
namespace {

// A small record family exercising what the real records need: nesting, optional records,
// lists, members standing inline and the positional form.
struct Pair {
    std::uint32_t n = 0;
    std::string s;
};

struct Holder {
    Pair pair;
};

struct Doc {
    std::uint64_t id = 0;
    Pair pair;
    std::optional<Pair> maybe;
    std::vector<Holder> items;
    std::string note;
};

constexpr auto PAIR_FIELDS = field_table(field<&Pair::n>("n"), field<&Pair::s>("s"));
constexpr Schema<Pair> PAIR{"struct Pair", PAIR_FIELDS, ALL_MEMBERS};

constexpr auto HOLDER_FIELDS =
    field_table(field<&Holder::pair, &Pair::n>("n"), field<&Holder::pair, &Pair::s>("s"));
constexpr Schema<Holder> HOLDER{"struct Holder", HOLDER_FIELDS};

constexpr auto DOC_FIELDS = field_table(
    field<&Doc::id>("id"), field<&Doc::pair>("pair", &PAIR), field<&Doc::maybe>("maybe", &PAIR),
    field<&Doc::items>("items", &HOLDER), field<&Doc::note>("note").optional());
constexpr Schema<Doc> DOC{"struct Doc", DOC_FIELDS, ALL_MEMBERS};

Result<Doc> read_doc(std::string_view text) {
    return read_record(text, DOC);
}

TEST(Reader, FillsNestedRecordsListsAndInlineMembers) {
    const auto doc = read_doc(R"({
  "items": [{"s": "a", "n": 1, "x": [{}]}, {"n": 2, "s": "b"}],
  "pair": [7, "seven"],
  "id": 3,
  "maybe": {"s": "m", "n": 4294967295}
})");
    ASSERT_TRUE(doc.has_value()) << doc.error();
    EXPECT_EQ(doc->id, 3U);
    EXPECT_EQ(doc->pair.n, 7U);
    EXPECT_EQ(doc->pair.s, "seven");
    ASSERT_TRUE(doc->maybe.has_value());
    EXPECT_EQ(doc->maybe->n, 4294967295U);
    ASSERT_EQ(doc->items.size(), 2U);
    EXPECT_EQ(doc->items[0].pair.s, "a");
    EXPECT_EQ(doc->items[1].pair.n, 2U);
    EXPECT_EQ(doc->note, "");
}

TEST(Reader, PositionalFormAndNullForOptionals) {
    const auto doc = read_doc(R"([1, {"n": 0, "s": ""}, null, [], "n"])");
    ASSERT_TRUE(doc.has_value()) << doc.error();
    EXPECT_FALSE(doc->maybe.has_value());
    EXPECT_EQ(doc->note, "n");
}

struct FaultCase {
    const char* name;
    std::string_view text;
    const char* fault;
};

class ReaderFault : public testing::TestWithParam<FaultCase> {};

TEST_P(ReaderFault, StopsAtTheFirstFaultInStreamOrder) {
    const auto doc = read_doc(GetParam().text);
    ASSERT_FALSE(doc.has_value()) << GetParam().text;
    EXPECT_EQ(doc.error(), GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReaderFault,
    testing::Values(
        // Missing members are reported at the closing brace, in declared order.
        FaultCase{"MissingIdAtTheClosingBrace", R"({"note":"x"})",
                  "missing field `id` at line 1 column 12"},
        FaultCase{"MissingPairAfterNull", R"({"id":1,"maybe":null})",
                  "missing field `pair` at line 1 column 21"},
        FaultCase{"MissingNestedMember", R"({"id":1,"pair":{"s":"x"},"items":[]})",
                  "missing field `n` at line 1 column 24"},
        // A duplicate is caught at its name, before a bad value behind it.
        FaultCase{"DuplicateBeforeItsBadValue", R"({"id":1,"id":"x"})",
                  "duplicate field `id` at line 1 column 12"},
        FaultCase{"U32Overflow",
                  R"({"id":1,"pair":[1,"a"],"items":[],"maybe":{"n":4294967296,"s":""}})",
                  "invalid value: integer `4294967296`, expected u32 at line 1 column 57"},
        FaultCase{"ArrayFormTooShort", R"({"id":1,"pair":[1],"items":[]})",
                  "invalid length 1, expected struct Pair with 2 elements at line 1 column 18"},
        FaultCase{"ArrayFormTooLong", R"({"id":1,"pair":[1,"a","b"],"items":[]})",
                  "trailing characters at line 1 column 25"},
        FaultCase{"ListAsMap", R"({"id":1,"pair":[1,"a"],"items":{}})",
                  "invalid type: map, expected a sequence at line 1 column 31"},
        FaultCase{"NestedRecordAsSequence", R"({"id":1,"pair":[1,"a"],"items":[[1,"a"]]})",
                  "invalid type: sequence, expected struct Holder at line 1 column 32"},
        FaultCase{"NullForAnOptionalString", R"({"id":1,"pair":[1,"a"],"items":[],"note":null})",
                  "invalid type: null, expected a string at line 1 column 45"},
        FaultCase{"BooleanOnTheSecondLine", "{\"id\":1,\n\"pair\":true}",
                  "invalid type: boolean `true`, expected struct Pair at line 2 column 11"},
        FaultCase{"EmptyText", "",
                  "syntax error while parsing value - unexpected end of input; expected '[', "
                  "'{', or a literal at line 1 column 0"},
        FaultCase{"TrailingTextOnTheNextLine",
                  R"({"id":1,"pair":[1,"a"],"items":[]} )"
                  "\n  x",
                  "trailing characters at line 2 column 3"},
        // The lexer alone would take the NUL for the end of input.
        FaultCase{"NulAfterTheValue",
                  std::string_view("{\"id\":1,\"pair\":[1,\"a\"],\"items\":[]}\0", 35),
                  "trailing characters at line 1 column 35"}),
    testing_support::CaseName{});

TEST(Reader, UnknownMembersMayRepeat) {
    // Only known members are checked for duplicates; optional records may be left out.
    const auto doc = read_doc(R"({"other":1,"other":[2],"id":1,"pair":[1,"a"],"items":[]})");
    ASSERT_TRUE(doc.has_value()) << doc.error();
    EXPECT_FALSE(doc->maybe.has_value());
}

// A list of strings, as the native host's configuration has one.
struct Tags {
    std::vector<std::string> tags;
};

constexpr auto TAGS_FIELDS = field_table(field<&Tags::tags>("tags").optional());
constexpr Schema<Tags> TAGS{"struct Tags", TAGS_FIELDS};

struct TagsCase {
    const char* name;
    const char* text;
    std::vector<std::string> tags;  // when read
    const char* fault;              // when not
};

class ReaderTags : public testing::TestWithParam<TagsCase> {};

TEST_P(ReaderTags, ReadsListsOfStringsAndOnlyThose) {
    const auto read = read_record(GetParam().text, TAGS);
    if (GetParam().fault == nullptr) {
        ASSERT_TRUE(read.has_value()) << read.error();
        EXPECT_EQ(read->tags, GetParam().tags);
    } else {
        ASSERT_FALSE(read.has_value());
        EXPECT_EQ(read.error(), GetParam().fault);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ReaderTags,
    testing::Values(TagsCase{"Strings", R"({"tags":["a","","\u00e9"]})", {"a", "", "é"}, nullptr},
                    TagsCase{"Empty", R"({"tags":[]})", {}, nullptr},
                    TagsCase{"LeftOut", "{}", {}, nullptr},
                    TagsCase{"NumberInside",
                             R"({"tags":["a",1]})",
                             {},
                             "invalid type: integer `1`, expected a string at line 1 column 14"},
                    TagsCase{"ListInside",
                             R"({"tags":[["a"]]})",
                             {},
                             "invalid type: sequence, expected a string at line 1 column 9"},
                    TagsCase{"ObjectInside",
                             R"({"tags":[{}]})",
                             {},
                             "invalid type: map, expected a string at line 1 column 9"},
                    TagsCase{"Null",
                             R"({"tags":null})",
                             {},
                             "invalid type: null, expected a sequence at line 1 column 12"},
                    TagsCase{
                        "String",
                        R"({"tags":"a"})",
                        {},
                        "invalid type: string \"a\", expected a sequence at line 1 column 11"}),
    testing_support::CaseName());

}  // namespace
}  // namespace velkaron::json
