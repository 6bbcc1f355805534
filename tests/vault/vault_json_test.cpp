#include "vault/vault_json.hpp"
#include "support/case_name.hpp"

#include <gtest/gtest.h>

#include <string>

namespace velkaron {
namespace {

const std::string KDF =
    R"({"algorithm":"argon2id","memory_kib":65536,"iterations":3,"parallelism":1,"salt":"c2FsdA=="})";
const std::string WRAPPED = R"({"nonce":"bm9uY2U=","ct":"Y3Q="})";
const std::string HEAD = R"({"version":1,"kdf":)" + KDF + R"(,"wrapped_key":)" + WRAPPED;
// The smallest document in writer form.
const std::string MINIMAL = HEAD + R"(,"recovery":null,"entries":[]})";

std::string with_entries(const std::string& entries) {
    return HEAD + R"(,"recovery":null,"entries":[)" + entries + "]}";
}

// --- documents already in writer form come back byte for byte ---------------------------

struct Document {
    const char* name;
    std::string text;
};

class WriterForm : public testing::TestWithParam<Document> {};

TEST_P(WriterForm, ReadsAndWritesBackTheSameBytes) {
    const auto vault = parse_vault(GetParam().text);
    ASSERT_TRUE(vault.has_value()) << vault.error();
    EXPECT_EQ(serialize_vault(*vault), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, WriterForm,
    testing::Values(
        Document{"Minimal", MINIMAL},
        Document{
            "RecoveryAndEntries",
            HEAD +
                R"(,"recovery":{"kdf":{"algorithm":"argon2id","memory_kib":8,"iterations":1,)"
                R"("parallelism":4,"salt":"cg=="},"nonce":"cm4=","ct":"cmM="},"entries":[)"
                R"({"id":"a","nonce":"bjE=","ct":"YzE="},{"id":"b","nonce":"bjI=","ct":"YzI="}]})"},
        // Every escape the writer makes, and what it leaves raw: the solidus, DEL, non-ASCII.
        Document{"EveryEscapeAndWhatStaysRaw",
                 with_entries(R"({"id":"\"\\\b\t\n\f\r\u0000\u0001\u000b\u001f","nonce":"/)"
                              "\x7f"
                              R"(","ct":"é€😀"})")},
        // Extremes that are still valid here: the version is checked only when loading.
        Document{
            "Extremes",
            R"({"version":4294967295,"kdf":{"algorithm":"","memory_kib":0,"iterations":4294967295,)"
            R"("parallelism":0,"salt":"not base64!"},"wrapped_key":{"nonce":"","ct":""},)"
            R"("recovery":null,"entries":[]})"}),
    testing_support::CaseName{});

// --- other accepted forms are rewritten into writer form --------------------------------

struct Rewrite {
    const char* name;
    std::string input;
    std::string written;
};

class AcceptedForm : public testing::TestWithParam<Rewrite> {};

TEST_P(AcceptedForm, IsWrittenInWriterForm) {
    const auto vault = parse_vault(GetParam().input);
    ASSERT_TRUE(vault.has_value()) << vault.error();
    EXPECT_EQ(serialize_vault(*vault), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Variations, AcceptedForm,
    testing::Values(
        Rewrite{"RecoveryMissing", HEAD + R"(,"entries":[]})", MINIMAL},
        Rewrite{"ReorderedAndIndented",
                "\r\n\t {\n  \"entries\" : [ ] ,\n  \"wrapped_key\": {\"ct\":\"Y3Q=\", "
                "\"nonce\":\"bm9uY2U=\"},\n  \"kdf\": {\"salt\":\"c2FsdA==\",\"parallelism\":1,"
                "\"iterations\":3,\"memory_kib\":65536,\"algorithm\":\"argon2id\"},\n"
                "  \"recovery\": null, \"version\": 1\n}\n ",
                MINIMAL},
        Rewrite{"UnknownMembersAtEveryLevel",
                R"({"x":{"deep":[1,{"a":null}]},"version":1,"kdf":{"algorithm":"argon2id",)"
                R"("memory_kib":65536,"iterations":3,"parallelism":1,"salt":"c2FsdA==","x":[]},)"
                R"("wrapped_key":{"nonce":"bm9uY2U=","ct":"Y3Q=","x":true},"recovery":{"x":1,)"
                R"("kdf":{"algorithm":"a","memory_kib":1,"iterations":2,"parallelism":3,)"
                R"("salt":"s","x":"y"},"nonce":"n","ct":"c"},"entries":[{"id":"e","title":)"
                R"("plaintext","nonce":"n","ct":"c"}],"y":-1.5e3})",
                HEAD + R"(,"recovery":{"kdf":{"algorithm":"a","memory_kib":1,"iterations":2,)"
                       R"("parallelism":3,"salt":"s"},"nonce":"n","ct":"c"},"entries":)"
                       R"([{"id":"e","nonce":"n","ct":"c"}]})"},
        Rewrite{"PositionalRecords",
                R"([1,["argon2id",65536,3,1,"c2FsdA=="],["bm9uY2U=","Y3Q="],null,[]])", MINIMAL},
        Rewrite{"PositionalInsideRecovery",
                HEAD + R"(,"recovery":{"kdf":["a",1,2,3,"s"],"nonce":"n","ct":"c"},"entries":[]})",
                HEAD + R"(,"recovery":{"kdf":{"algorithm":"a","memory_kib":1,"iterations":2,)"
                       R"("parallelism":3,"salt":"s"},"nonce":"n","ct":"c"},"entries":[]})"},
        Rewrite{
            "EscapesUnescapedAndReescaped",
            with_entries(R"({"id":"\u00e9\/\u0041\ud83d\ude00\u007F","nonce":"\u001F","ct":""})"),
            with_entries("{\"id\":\"é/A😀\x7f\",\"nonce\":\"\\u001f\",\"ct\":\"\"}")},
        Rewrite{
            "VersionNegativeZero",
            R"({"version":-0,"kdf":)" + KDF + R"(,"wrapped_key":)" + WRAPPED + R"(,"entries":[]})",
            R"({"version":0,"kdf":)" + KDF + R"(,"wrapped_key":)" + WRAPPED +
                R"(,"recovery":null,"entries":[]})"}),
    testing_support::CaseName{});

// --- faults: the first problem, in the reader's wording, with its position --------------

struct Fault {
    const char* name;
    std::string document;
    std::string error;
};

class DocumentFault : public testing::TestWithParam<Fault> {};

TEST_P(DocumentFault, IsTheFirstProblemWithItsPosition) {
    const auto vault = parse_vault(GetParam().document);
    ASSERT_FALSE(vault.has_value()) << GetParam().document;
    EXPECT_EQ(vault.error(), GetParam().error);
}

std::string nested_arrays(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DocumentFault,
    testing::Values(
        Fault{"KdfMissingBeforeEntries", R"({"version":1,"wrapped_key":)" + WRAPPED + "}",
              "missing field `kdf` at line 1 column 60"},
        Fault{"EntryWithoutIdAndNonce", with_entries(R"({"ct":"c"})"),
              "missing field `id` at line 1 column 196"},
        Fault{"RecoveryEmptyObject", HEAD + R"(,"recovery":{},"entries":[]})",
              "missing field `kdf` at line 1 column 172"},
        Fault{"RecoveryWithoutCt", HEAD + R"(,"recovery":{"kdf":)" + KDF + R"(,"nonce":"n"})",
              "missing field `ct` at line 1 column 282"},
        Fault{"DuplicateEntries", MINIMAL.substr(0, MINIMAL.size() - 1) + R"(,"entries":[]})",
              "duplicate field `entries` at line 1 column 197"},
        Fault{"DuplicateInlineNonce",
              with_entries(R"({"id":"a","nonce":"n","nonce":"n","ct":"c"})"),
              "duplicate field `nonce` at line 1 column 215"},
        Fault{"VersionWithFraction", R"({"version":1.0})",
              "invalid type: floating point `1.0`, expected u32 at line 1 column 14"},
        Fault{"VersionNegative", R"({"version":-1})",
              "invalid value: integer `-1`, expected u32 at line 1 column 13"},
        Fault{"VersionAboveU32", R"({"version":4294967296})",
              "invalid value: integer `4294967296`, expected u32 at line 1 column 21"},
        Fault{"VersionAsString", R"({"version":"1"})",
              "invalid type: string \"1\", expected u32 at line 1 column 14"},
        Fault{"SaltAsNumber", R"({"version":1,"kdf":{"salt":5}})",
              "invalid type: integer `5`, expected a string at line 1 column 28"},
        Fault{"EntriesAsObject", HEAD + R"(,"entries":{}})",
              "invalid type: map, expected a sequence at line 1 column 169"},
        Fault{"EntryAsArray", with_entries(R"(["a","n","c"])"),
              "invalid type: sequence, expected struct SealedEntry at line 1 column 186"},
        Fault{"RecoveryAsArray", HEAD + R"(,"recovery":[)" + KDF + R"(,"n","c"]})",
              "invalid type: sequence, expected struct Recovery at line 1 column 170"},
        Fault{"RecoveryFalse", HEAD + R"(,"recovery":false})",
              "invalid type: boolean `false`, expected struct Recovery at line 1 column 175"},
        Fault{"DocumentAsString", R"("vault")",
              "invalid type: string \"vault\", expected struct VaultFile at line 1 column 7"},
        Fault{"DocumentTooShort", R"([1,["a",1,2,3,"s"],["n","c"],null])",
              "invalid length 4, expected struct VaultFile with 5 elements at line 1 column 34"},
        Fault{"KdfTooShort", R"({"version":1,"kdf":["a",1,2,3]})",
              "invalid length 4, expected struct KdfRecord with 5 elements at line 1 column 30"},
        Fault{"SealedTooShort", R"({"version":1,"kdf":)" + KDF + R"(,"wrapped_key":["n"]})",
              "invalid length 1, expected struct Sealed with 2 elements at line 1 column 131"},
        Fault{"SealedTooLong", R"({"version":1,"kdf":)" + KDF + R"(,"wrapped_key":["n","c","x"]})",
              "trailing characters at line 1 column 138"},
        Fault{"TrailingValue", MINIMAL + " {}", "trailing characters at line 1 column 190"},
        Fault{"ByteOrderMark", "\xEF\xBB\xBF" + MINIMAL,
              "syntax error while parsing value - invalid literal at line 1 column 1"},
        Fault{"Empty", "",
              "syntax error while parsing value - unexpected end of input; expected '[', '{', or "
              "a literal at line 1 column 0"},
        Fault{"PositionOnLaterLine", "{\n  \"version\": 1,\n  \"kdf\": 7\n}",
              "invalid type: integer `7`, expected struct KdfRecord at line 3 column 10"},
        // The document takes one level, the ignored member the rest of the allowance.
        Fault{"TooDeep", R"({"x":)" + nested_arrays(127) + "}",
              "recursion limit exceeded at line 1 column 131"}),
    testing_support::CaseName{});

TEST(VaultJson, NestingJustWithinTheAllowanceIsRead) {
    const auto vault = parse_vault(HEAD + R"(,"x":)" + nested_arrays(126) + R"(,"entries":[]})");
    ASSERT_TRUE(vault.has_value()) << vault.error();
    EXPECT_EQ(serialize_vault(*vault), MINIMAL);
}

TEST(VaultJson, RecordsKeepEntryOrderAndInlineSealedValues) {
    const auto vault = parse_vault(
        with_entries(R"({"ct":"c2","id":"z","nonce":"n2"},{"id":"a","nonce":"n1","ct":"c1"})"));
    ASSERT_TRUE(vault.has_value()) << vault.error();
    ASSERT_EQ(vault->entries.size(), 2u);
    EXPECT_EQ(vault->entries[0], (SealedEntry{"z", Sealed{"n2", "c2"}}));
    EXPECT_EQ(vault->entries[1], (SealedEntry{"a", Sealed{"n1", "c1"}}));
    EXPECT_FALSE(vault->recovery.has_value());
}

}  // namespace
}  // namespace velkaron
