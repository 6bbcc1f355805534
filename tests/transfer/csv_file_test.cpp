#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/case_name.hpp"
#include "transfer/csv_file.hpp"

namespace velkaron {
namespace {

using testing_support::CaseName;

struct Row {
    std::size_t line;
    std::vector<std::string> fields;
    friend bool operator==(const Row&, const Row&) = default;
};

Row plain(const CsvRow& row) {
    Row out{row.line, {}};
    for (const auto& field : row.fields) out.fields.emplace_back(field.view());
    return out;
}

std::vector<Row> rows_of(const CsvTable& table) {
    std::vector<Row> rows{plain(table.header)};
    for (const auto& row : table.rows) rows.push_back(plain(row));
    return rows;
}

struct ReadCase {
    const char* name;
    std::string file;
    std::vector<Row> rows;  // the header first
};

const ReadCase READ_CASES[] = {
    {"LineFeeds", "a,b\nc,d\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
    {"CrLf", "a,b\r\nc,d\r\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
    {"LastLineWithoutBreak", "a,b\r\nc,d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
    {"ByteOrderMark",
     "\xEF\xBB\xBF"
     "a,b\nc,d",
     {{1, {"a", "b"}}, {2, {"c", "d"}}}},
    {"QuotedCommaAndQuotes",
     "a,b\n\"x,y\",\"say \"\"hi\"\"\"\n",
     {{1, {"a", "b"}}, {2, {"x,y", "say \"hi\""}}}},
    {"QuotedLineBreaksKeepTheStartLine",
     "a,b\n\"one\r\ntwo\nthree\",z\nlast,row\n",
     {{1, {"a", "b"}}, {2, {"one\r\ntwo\nthree", "z"}}, {5, {"last", "row"}}}},
    {"SpacesAndTabsKept", "a,b\n  pw ,\tx\t\n", {{1, {"a", "b"}}, {2, {"  pw ", "\tx\t"}}}},
    {"EmptyFields", "a,b,c\n,,\n", {{1, {"a", "b", "c"}}, {2, {"", "", ""}}}},
    {"BlankLinesPassedOver", "a,b\n\n\r\nc,d\n\n", {{1, {"a", "b"}}, {4, {"c", "d"}}}},
    {"HeaderOnly", "a,b\n", {{1, {"a", "b"}}}},
    {"NonAscii", "a,b\nüñí,日本\n", {{1, {"a", "b"}}, {2, {"üñí", "日本"}}}},
};

class CsvRead : public testing::TestWithParam<ReadCase> {};

TEST_P(CsvRead, GivesRowsWithTheirLines) {
    const auto table = read_csv(GetParam().file);
    ASSERT_TRUE(table.has_value()) << table.error();
    EXPECT_EQ(rows_of(*table), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Files, CsvRead, testing::ValuesIn(READ_CASES), CaseName());

struct RefusalCase {
    const char* name;
    std::string file;
    const char* message;
};

const RefusalCase REFUSAL_CASES[] = {
    {"Empty", "", "Datei ist leer"},
    {"OnlyByteOrderMarkAndBlankLines", "\xEF\xBB\xBF\r\n\n", "Datei ist leer"},
    {"Windows1252",
     "a,b\nc,Stra\xDF"
     "e\n",
     "Zeile 2: Text ist kein UTF-8 (eine Tabellenkalkulation speichert oft als Windows-1252: "
     "bitte als UTF-8 speichern)"},
    {"CutUtf8AtTheEnd", "a,b\nc,\xC3",
     "Zeile 2: Text ist kein UTF-8 (eine Tabellenkalkulation speichert oft als Windows-1252: "
     "bitte als UTF-8 speichern)"},
    {"NulByte", std::string("a,b\nc,d\ne,f\0g\n", 12), "Zeile 3: NUL-Byte in der Datei"},
    {"UnclosedQuote", "a,b\nc,d\n\"e,f\ng,h\n", "Zeile 3: Anführungszeichen nicht geschlossen"},
    {"QuoteInsideUnquotedField", "a,b\nc,d\"x\n",
     "Zeile 2: Anführungszeichen falsch gesetzt (CSV nicht lesbar)"},
    {"TextAfterClosingQuote", "a,b\n\"c\" ,d\n",
     "Zeile 2: Anführungszeichen falsch gesetzt (CSV nicht lesbar)"},
    {"RowTooShort", "a,b,c\n1,2,3\n\"x\ny\",z\n", "Zeile 3: 2 Felder, die Kopfzeile hat 3"},
    {"RowTooLong", "a,b\n1,2,3\n", "Zeile 2: 3 Felder, die Kopfzeile hat 2"},
};

class CsvRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(CsvRefusal, NamesTheLine) {
    const auto table = read_csv(GetParam().file);
    ASSERT_FALSE(table.has_value());
    EXPECT_EQ(table.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Files, CsvRefusal, testing::ValuesIn(REFUSAL_CASES), CaseName());

// The field buffer grows through the wiping allocation functions; a field far longer than
// libcsv's block must come out whole.
TEST(CsvReadLong, FieldOfAMebibyte) {
    const std::string field(1 << 20, 'p');
    const auto table = read_csv("a\n\"" + field + "\"\n");
    ASSERT_TRUE(table.has_value()) << table.error();
    ASSERT_EQ(table->rows.size(), 1U);
    EXPECT_EQ(table->rows[0].fields[0].view(), field);
}

}  // namespace
}  // namespace velkaron
