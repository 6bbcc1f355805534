#include "support/native_messages.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "protocol/native_message.hpp"

namespace velkaron::testing_support {

std::string messages(std::initializer_list<std::string_view> payloads) {
    std::string stream;
    for (const std::string_view payload : payloads) {
        stream += length_prefix(static_cast<std::uint32_t>(payload.size()));
        stream += payload;
    }
    return stream;
}

std::string length_prefix(std::uint32_t length) {
    std::string prefix(sizeof length, '\0');
    std::memcpy(prefix.data(), &length, sizeof length);
    return prefix;
}

std::vector<std::string> split_messages(std::string_view stream) {
    std::vector<std::string> payloads;
    while (!stream.empty()) {
        std::uint32_t length = 0;
        EXPECT_GE(stream.size(), sizeof length) << "the stream ends inside a length prefix";
        if (stream.size() < sizeof length) break;
        std::memcpy(&length, stream.data(), sizeof length);
        stream.remove_prefix(sizeof length);
        EXPECT_LE(length, stream.size()) << "the stream ends inside a message";
        payloads.emplace_back(stream.substr(0, length));
        stream.remove_prefix(std::min<std::size_t>(length, stream.size()));
    }
    return payloads;
}

std::vector<std::string> responses_of(std::string_view stream) {
    std::vector<std::string> responses;
    bool in_chunks = false;
    std::uint64_t chunked_id = 0;
    std::string joined;
    for (std::string& payload : split_messages(stream)) {
        EXPECT_LE(payload.size(), MAX_RESPONSE_MESSAGE);
        const auto message = nlohmann::json::parse(payload, nullptr, false);
        EXPECT_TRUE(message.is_object()) << payload.substr(0, 200);
        if (!message.is_object() || !message.contains("chunk")) {
            EXPECT_FALSE(in_chunks) << "a chunked response is interrupted";
            responses.push_back(std::move(payload));
            continue;
        }
        const std::uint64_t id = message.at("id");
        if (in_chunks) {
            EXPECT_EQ(id, chunked_id) << "chunks of two responses interleaved";
        }
        EXPECT_FALSE(message.contains("ok"));
        joined += message.at("chunk").get<std::string>();
        in_chunks = message.at("more").get<bool>();
        chunked_id = id;
        if (!in_chunks) {
            responses.push_back(std::move(joined));
            joined.clear();
        }
    }
    EXPECT_FALSE(in_chunks) << "the last chunked response has no end";
    return responses;
}

}  // namespace velkaron::testing_support
