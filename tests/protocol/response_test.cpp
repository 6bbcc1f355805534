#include "protocol/response.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace velkaron {
namespace {

// The line encode_response appends to what `line` already holds, or nothing when it fails.
std::optional<std::string> encoded(const Response& response) {
    SecretString line = "x";
    if (!encode_response(response, line)) {
        EXPECT_EQ(line, "x") << "a failed encoding leaves the line as it was";
        return std::nullopt;
    }
    EXPECT_TRUE(line.starts_with("x"));
    return std::string(line.view().substr(1));
}

TEST(Response, SuccessCarriesDataWithMembersSortedByName) {
    const Response response{42, Json{{"unlocked", true}, {"entries", 3}, {"exists", false}}};
    EXPECT_EQ(encoded(response).value(),
              R"({"id":42,"ok":true,"data":{"entries":3,"exists":false,"unlocked":true}})");
}

TEST(Response, FailureCarriesErrorWithRawUtf8) {
    const Response response{18446744073709551615ULL, fail("Autofill nur über HTTPS")};
    EXPECT_EQ(encoded(response).value(),
              "{\"id\":18446744073709551615,\"ok\":false,\"error\":\"Autofill nur \xC3\xBC"
              "ber HTTPS\"}");
}

TEST(Response, EscapesOnlyWhatJsonRequires) {
    std::string all_controls;
    for (char c = 0; c < 0x20; ++c) all_controls += c;
    const Response response{1, Json{{"s", all_controls + "\"\\/\x7F\xE2\x82\xAC"}}};
    EXPECT_EQ(encoded(response).value(),
              R"({"id":1,"ok":true,"data":{"s":")"
              R"(\u0000\u0001\u0002\u0003\u0004\u0005\u0006\u0007\b\t\n\u000b\f\r\u000e\u000f)"
              R"(\u0010\u0011\u0012\u0013\u0014\u0015\u0016\u0017\u0018\u0019\u001a\u001b\u001c)"
              R"(\u001d\u001e\u001f\"\\/)"
              "\x7F\xE2\x82\xAC\"}}");
}

TEST(Response, TextThatIsNotUtf8CannotBeEncoded) {
    EXPECT_FALSE(encoded({1, Json{{"s", "\xFF"}}}).has_value());
    EXPECT_FALSE(encoded({1, fail("\xC3")}).has_value());
    EXPECT_EQ(FALLBACK_LINE.size(), 58U);
}

// Data written into the line by the operation itself comes out as the same bytes; a failure
// after part of it was written leaves exactly the failure response.
TEST(Response, WrittenDataOrTheFailureInsteadOfWhatWasWritten) {
    const auto written = [](Status outcome, std::string_view text) {
        SecretString line = "x";
        const bool encoded = encode_written_response(
            7,
            [&](json::DataWriter& out) {
                out.raw("[");
                out.string(text);
                out.raw("]");
                return outcome;
            },
            line);
        if (!encoded) {
            EXPECT_EQ(line, "x") << "a failed encoding leaves the line as it was";
            return std::optional<std::string>();
        }
        return std::optional<std::string>(line.view().substr(1));
    };
    EXPECT_EQ(written({}, "a\"b").value(), R"({"id":7,"ok":true,"data":["a\"b"]})");
    EXPECT_EQ(written(fail("Eintrag beschädigt: x"), "half").value(),
              R"({"id":7,"ok":false,"error":"Eintrag beschädigt: x"})");
    EXPECT_FALSE(written({}, "\xFF").has_value());
    EXPECT_EQ(written(fail("kein Tresor geladen"), "\xFF").value(),
              R"({"id":7,"ok":false,"error":"kein Tresor geladen"})");
}

}  // namespace
}  // namespace velkaron
