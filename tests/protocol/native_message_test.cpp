// Native messages out: the length prefix, and responses cut into chunk messages exactly when
// they exceed what a browser accepts.

#include "protocol/native_message.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/case_name.hpp"
#include "support/native_messages.hpp"

namespace velkaron {
namespace {

using testing_support::split_messages;

TEST(NativeMessage, LengthInTheMachinesByteOrderThenThePayload) {
    std::string out = "x";
    append_message(out, "{}");
    const std::uint32_t two = 2;
    EXPECT_EQ(out, "x" + std::string(reinterpret_cast<const char*>(&two), 4) + "{}");
    EXPECT_EQ(message_length(out.data() + 1), 2U);
    out.clear();
    append_message(out, "");
    EXPECT_EQ(out, std::string(4, '\0'));
}

// A response text of exactly `size` bytes, heavy in what the chunk strings must escape: quotes
// and backslashes double, control characters grow sixfold, and multi-byte characters must
// never be cut.
std::string response_of_size(std::size_t size, std::string_view filler) {
    std::string text = R"({"id":7,"ok":true,"data":")";
    const std::string end = R"("})";
    while (text.size() + end.size() < size) {
        text += text.size() + end.size() + filler.size() <= size ? filler : "x";
    }
    return text + end;
}

struct ChunkCase {
    const char* name;
    std::size_t size;
    std::string_view filler;
    bool chunked;
};

class ResponseMessages : public testing::TestWithParam<ChunkCase> {};

TEST_P(ResponseMessages, OneMessageUpToTheLimitElseChunksThatGiveTheTextBack) {
    const std::string text = response_of_size(GetParam().size, GetParam().filler);
    ASSERT_EQ(text.size(), GetParam().size);
    SecretString out;
    append_response(out, 7, text);
    const std::vector<std::string> payloads = split_messages(out.view());
    if (!GetParam().chunked) {
        EXPECT_EQ(payloads, std::vector<std::string>{text});
        return;
    }
    ASSERT_GE(payloads.size(), 2U);
    std::string joined;
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        EXPECT_LE(payloads[i].size(), MAX_RESPONSE_MESSAGE);
        const auto frame = nlohmann::ordered_json::parse(payloads[i]);
        ASSERT_EQ(frame.size(), 3U) << payloads[i].substr(0, 80);
        auto member = frame.begin();
        EXPECT_EQ(member.key(), "id");
        EXPECT_EQ(*member, 7);
        ++member;
        EXPECT_EQ(member.key(), "chunk");
        joined += member->get<std::string>();
        ++member;
        EXPECT_EQ(member.key(), "more");
        EXPECT_EQ(*member, i + 1 < payloads.size());
        EXPECT_EQ(frame.dump(-1, ' ', false), payloads[i]) << "not compact";
    }
    EXPECT_EQ(joined, text);
    // Pieces are as large as the limit lets them be: no more messages than needed.
    EXPECT_GE(payloads.front().size(), MAX_RESPONSE_MESSAGE - 8);
}

constexpr std::size_t LIMIT = MAX_RESPONSE_MESSAGE;

INSTANTIATE_TEST_SUITE_P(
    AroundTheLimit, ResponseMessages,
    testing::Values(ChunkCase{"Small", 100, "a", false},
                    ChunkCase{"OneBelowTheLimit", LIMIT - 1, "\\\"", false},
                    ChunkCase{"AtTheLimit", LIMIT, "\\\"", false},
                    ChunkCase{"OneOverTheLimit", LIMIT + 1, "a", true},
                    ChunkCase{"OverWithQuotes", LIMIT + 1, "\\\"", true},
                    ChunkCase{"OverWithControlCharacters", LIMIT + 1, "\x01\x1f\n", true},
                    ChunkCase{"OverWithMultiByteCharacters", LIMIT + 1,
                              "\xC3\xBC\xE2\x82\xAC\xF0\x9F\x94\x91", true},
                    ChunkCase{"SeveralChunks", 5 * LIMIT + 3, "\\\"\xE2\x82\xAC", true}),
    testing_support::CaseName());

TEST(NativeMessage, ChunkIdIsTheRequestsIdWhateverItsSize) {
    const std::string text = response_of_size(LIMIT + 10, "a");
    SecretString out;
    append_response(out, 18446744073709551615U, text);
    const std::vector<std::string> payloads = split_messages(out.view());
    ASSERT_EQ(payloads.size(), 2U);
    for (const std::string& payload : payloads) {
        EXPECT_TRUE(payload.starts_with(R"({"id":18446744073709551615,"chunk":")"));
        EXPECT_LE(payload.size(), LIMIT);
    }
}

}  // namespace
}  // namespace velkaron
