// Known-answer vectors from tests/vectors/: one file per primitive, each naming its source,
// every vector with its inputs and its expected outcome, a value or our message.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/derive_key.hpp"
#include "crypto/seal.hpp"
#include "support/case_name.hpp"
#include "support/hex.hpp"
#include "support/known_answers.hpp"

namespace velkaron {
namespace {

using Json = nlohmann::json;
using testing_support::from_hex;
using testing_support::known_answers;
using testing_support::KnownAnswer;
using testing_support::to_hex;

Json outcome_of_argon2id(const Json& vector) {
    const auto key = derive_key(
        from_hex(vector["password"].get<std::string>()),
        from_hex(vector["salt"].get<std::string>()),
        {vector["memory_kib"].get<std::uint32_t>(), vector["iterations"].get<std::uint32_t>(),
         vector["parallelism"].get<std::uint32_t>()});
    if (!key) return {{"error", key.error()}};
    return {{"key", to_hex({key->data(), key->size()})}};
}

// The pairs go both ways: the expected text is also what the decoder is given.
Json outcome_of_base64(const Json& vector) {
    const auto plain = vector["plain"].get<std::string>();
    const auto decoded = base64_decode(vector["expect"]["encoded"].get<std::string>());
    if (!decoded) return {{"error", "the expected text does not decode"}};
    if (std::string(decoded->begin(), decoded->end()) != plain) {
        return {{"error", "the expected text decodes to other bytes"}};
    }
    return {{"encoded", base64_encode(bytes_of(plain))}};
}

Json outcome_of_xchacha20poly1305(const Json& vector) {
    const auto key_bytes = from_hex(vector["key"].get<std::string>());
    Key32 key;
    if (key_bytes.size() != key.size()) return {{"error", "the key is not 32 bytes"}};
    std::memcpy(key.data(), key_bytes.data(), key.size());
    const auto ad = from_hex(vector["ad"].get<std::string>());
    const Sealed sealed{base64_encode(from_hex(vector["nonce"].get<std::string>())),
                        base64_encode(from_hex(vector["ct"].get<std::string>()))};
    const auto opened = unseal(sealed, key, {reinterpret_cast<const char*>(ad.data()), ad.size()});
    if (!opened) return {{"error", opened.error()}};
    return {{"plaintext", to_hex(opened->span())}};
}

// A vector file's name says which primitive its vectors are for.
const std::map<std::string, Json (*)(const Json&)> OUTCOME_OF{
    {"argon2id", outcome_of_argon2id},
    {"base64", outcome_of_base64},
    {"xchacha20poly1305", outcome_of_xchacha20poly1305},
};

class KnownAnswerVector : public testing::TestWithParam<KnownAnswer> {};

TEST_P(KnownAnswerVector, GivesItsExpectedOutcome) {
    const auto outcome_of = OUTCOME_OF.find(GetParam().primitive);
    ASSERT_NE(outcome_of, OUTCOME_OF.end()) << "no check for " << GetParam().primitive;
    EXPECT_EQ(outcome_of->second(GetParam().vector), GetParam().vector.at("expect"));
}

INSTANTIATE_TEST_SUITE_P(Files, KnownAnswerVector, testing::ValuesIn(known_answers()),
                         testing_support::CaseName{});

}  // namespace
}  // namespace velkaron
