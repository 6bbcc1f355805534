#include "protocol/request.hpp"

#include <gtest/gtest.h>

#include "support/case_name.hpp"

namespace velkaron {
namespace {

struct FaultCase {
    const char* name;
    const char* line;
    const char* fault;
};

class RequestFault : public testing::TestWithParam<FaultCase> {};

TEST_P(RequestFault, IsDescribedWithItsPosition) {
    const auto result = parse_request(GetParam().line);
    ASSERT_FALSE(result.has_value()) << GetParam().line;
    EXPECT_EQ(result.error(), GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    Schema, RequestFault,
    testing::Values(
        FaultCase{"EmptyObject", "{}", "missing field `id` at line 1 column 2"},
        FaultCase{"IdMissing", R"({"op":"status"})", "missing field `id` at line 1 column 15"},
        FaultCase{"OpMissing", R"({"id":1})", "missing field `op` at line 1 column 8"},
        FaultCase{"OpInOtherCase", R"({"id":1,"Op":"status"})",
                  "missing field `op` at line 1 column 22"},
        FaultCase{"DuplicateOp", R"({"id":1,"op":"a","op":"a"})",
                  "duplicate field `op` at line 1 column 21"},
        FaultCase{"NegativeId", R"({"id":-1,"op":"status"})",
                  "invalid value: integer `-1`, expected u64 at line 1 column 8"},
        FaultCase{
            "HugeNegativeId", R"({"id":-99999999999999999999,"op":"status"})",
            "invalid value: integer `-99999999999999999999`, expected u64 at line 1 column 27"},
        FaultCase{"IdWithFraction", R"({"id":1.0,"op":"status"})",
                  "invalid type: floating point `1.0`, expected u64 at line 1 column 9"},
        FaultCase{"IdOfTwoToThe64", R"({"id":18446744073709551616,"op":"s"})",
                  "invalid type: floating point `1.8446744073709552e19`, expected u64 at line 1 "
                  "column 26"},
        FaultCase{"IdWithExponent", R"({"id":1e2,"op":"s"})",
                  "invalid type: floating point `100.0`, expected u64 at line 1 column 9"},
        FaultCase{"IdAsString", R"({"id":"7","op":"status"})",
                  "invalid type: string \"7\", expected u64 at line 1 column 9"},
        FaultCase{"IdNull", R"({"id":null,"op":"status"})",
                  "invalid type: null, expected u64 at line 1 column 10"},
        FaultCase{"OpNull", R"({"id":1,"op":null})",
                  "invalid type: null, expected a string at line 1 column 17"},
        FaultCase{"SecureAsString", R"({"id":1,"op":"x","secure":"yes"})",
                  "invalid type: string \"yes\", expected a boolean at line 1 column 31"},
        // A control character without a short escape is shown by its number in hex.
        FaultCase{"SecureAsStringWithControls", R"({"id":1,"op":"x","secure":"\u001f\u007f\n"})",
                  "invalid type: string \"\\u{1f}\\u{7f}\\n\", expected a boolean at line 1 "
                  "column 42"},
        FaultCase{"NegativeLength", R"({"id":1,"op":"x","length":-3})",
                  "invalid value: integer `-3`, expected usize at line 1 column 28"},
        FaultCase{"HostAsObject", R"({"id":1,"op":"x","host":{}})",
                  "invalid type: map, expected a string at line 1 column 24"},
        FaultCase{"HostAsArray", R"({"id":1,"op":"x","host":[1]})",
                  "invalid type: sequence, expected a string at line 1 column 24"},
        FaultCase{"PasswordAsBoolean", R"({"id":1,"op":"x","password":true})",
                  "invalid type: boolean `true`, expected a string at line 1 column 32"},
        FaultCase{"LengthAsBoolean", R"({"id":1,"op":"x","length":false})",
                  "invalid type: boolean `false`, expected usize at line 1 column 31"},
        // The one change of the object form: `data` and `replace`, skipped before they were
        // members, are now type faults when of another type.
        FaultCase{"DataAsNumber", R"({"id":1,"op":"import","data":5})",
                  "invalid type: integer `5`, expected a string at line 1 column 30"},
        FaultCase{"ReplaceAsString", R"({"id":1,"op":"import","replace":"ja"})",
                  "invalid type: string \"ja\", expected a boolean at line 1 column 36"},
        FaultCase{"ArrayFormStopsBeforeData",
                  R"([1,"import",null,null,null,null,null,null,null,null,null,"QQ=="])",
                  "trailing characters at line 1 column 63"},
        FaultCase{"Number", "5",
                  "invalid type: integer `5`, expected struct Request at line 1 column 1"},
        FaultCase{"String", R"("x")",
                  "invalid type: string \"x\", expected struct Request at line 1 column 3"},
        FaultCase{"ArrayFormTooShort", "[1]",
                  "invalid length 1, expected struct Request with 11 elements at line 1 column 3"},
        FaultCase{"EmptyArray", "[]",
                  "invalid length 0, expected struct Request with 11 elements at line 1 column 2"},
        FaultCase{"ArrayFormTooLong",
                  R"([1,"a",null,null,null,null,null,null,null,null,null,null])",
                  "trailing characters at line 1 column 56"},
        FaultCase{"SecondRequestOnTheLine", R"({"id":1,"op":"status"} {"id":2,"op":"status"})",
                  "trailing characters at line 1 column 24"},
        FaultCase{"TextAfterTheRequest", R"({"id":1,"op":"status"}x)",
                  "trailing characters at line 1 column 23"},
        FaultCase{"ByteOrderMark", "\xEF\xBB\xBF{\"id\":1,\"op\":\"status\"}",
                  "syntax error while parsing value - invalid literal at line 1 column 1"},
        FaultCase{"NoBreakSpace", "\xC2\xA0{\"id\":1,\"op\":\"status\"}",
                  "syntax error while parsing value - invalid literal at line 1 column 1"}),
    testing_support::CaseName{});

TEST(Request, NumbersBeyondTheDoubleRangeAreSyntaxFaultsEvenWhenSkipped) {
    const auto result = parse_request(R"({"id":1,"op":"x","other":1e400})");
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), "number overflow parsing '1e400' at line 1 column 31");
}

TEST(Request, SyntaxFaultsKeepTheLibraryWordingWithoutItsTail) {
    const auto result = parse_request(R"({"id":1,"op":"ä)");
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().find("last read"), std::string::npos) << result.error();
    EXPECT_TRUE(result.error().ends_with(" at line 1 column 16")) << result.error();
    EXPECT_TRUE(result.error().starts_with("syntax error while parsing value - invalid string"))
        << result.error();
}

std::string nested(int depth, std::string_view inner) {
    return std::string(static_cast<std::size_t>(depth), '[') + std::string(inner) +
           std::string(static_cast<std::size_t>(depth), ']');
}

TEST(Request, DepthAllowanceCountsSkippedMembers) {
    // The request object takes one level, so 126 more arrays fit and 127 do not.
    const auto fits = parse_request(R"({"id":1,"op":"x","deep":)" + nested(126, "") + "}");
    EXPECT_TRUE(fits.has_value()) << fits.error();
    const auto too_deep = parse_request(R"({"id":1,"op":"x","deep":)" + nested(127, "") + "}");
    ASSERT_FALSE(too_deep.has_value());
    EXPECT_TRUE(too_deep.error().starts_with("recursion limit exceeded at line 1 column "))
        << too_deep.error();
}

TEST(Request, ObjectFormInAnyOrderWithUnknownMembersSkipped) {
    const auto request = parse_request(
        R"({"x":{"op":[1,{"id":2}]},"op":"put","host":"a.example","id":18446744073709551615,)"
        R"("secure":true,"length":0,"username":null,"title":"T","entry_id":""})");
    ASSERT_TRUE(request.has_value()) << request.error();
    EXPECT_EQ(request->id, 18446744073709551615ULL);
    EXPECT_EQ(request->op, "put");
    EXPECT_EQ(request->host, "a.example");
    EXPECT_EQ(request->secure, true);
    EXPECT_EQ(request->length, 0U);
    EXPECT_FALSE(request->username.has_value());
    EXPECT_EQ(request->title, "T");
    EXPECT_EQ(request->entry_id, "");
    EXPECT_FALSE(request->password.has_value());
}

TEST(Request, DataAndReplaceInTheObjectForm) {
    const auto request = parse_request(R"({"id":3,"op":"import","data":"QQ==","replace":true})");
    ASSERT_TRUE(request.has_value()) << request.error();
    EXPECT_EQ(request->data, "QQ==");
    EXPECT_EQ(request->replace, true);
    const auto without = parse_request(R"({"id":3,"op":"import","data":null})");
    ASSERT_TRUE(without.has_value()) << without.error();
    EXPECT_FALSE(without->data.has_value());
    EXPECT_FALSE(without->replace.has_value());
}

TEST(Request, ArrayFormFillsMembersByPosition) {
    const auto shortest = parse_request(R"([0,"status"])");
    ASSERT_TRUE(shortest.has_value()) << shortest.error();
    EXPECT_EQ(shortest->id, 0U);
    EXPECT_EQ(shortest->op, "status");
    EXPECT_FALSE(shortest->password.has_value());

    const auto full = parse_request(R"( [7,"put","pw",null,"c","e","h","u","t",false,12] )");
    ASSERT_TRUE(full.has_value()) << full.error();
    EXPECT_EQ(full->password, "pw");
    EXPECT_FALSE(full->new_password.has_value());
    EXPECT_EQ(full->code, "c");
    EXPECT_EQ(full->entry_id, "e");
    EXPECT_EQ(full->host, "h");
    EXPECT_EQ(full->username, "u");
    EXPECT_EQ(full->title, "t");
    EXPECT_EQ(full->secure, false);
    EXPECT_EQ(full->length, 12U);
}

TEST(Request, MinusZeroIsTheIntegerZero) {
    const auto request = parse_request(R"({"id":-0,"op":"status"})");
    ASSERT_TRUE(request.has_value()) << request.error();
    EXPECT_EQ(request->id, 0U);
}

}  // namespace
}  // namespace velkaron
