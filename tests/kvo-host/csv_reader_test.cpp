// CSV rows as RFC 4180 has them, read whole or a few bytes at a time, and the errors that name file and
// line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvo-host/csv_reader.h"
#include "kvo-host/reader_test_support.h"

namespace kvo::host {
namespace {

using testing::ReadFrom;

struct Rows {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> fields;  // texts, "<null>" for Null
  std::vector<std::string> raw;
  std::vector<int64_t> lines;
};

Rows ReadAll(const std::string& text, std::size_t piece) {
  CsvReader reader("in.csv", ReadFrom(text, piece));
  Rows rows;
  rows.columns = reader.Columns();
  Record record;
  while (reader.Next(record)) {
    std::vector<std::string> texts;
    for (const Field& field : record.fields)
      texts.push_back(field.value.kind == ValueKind::kNull ? "<null>" : std::string(field.value.text));
    rows.fields.push_back(texts);
    rows.raw.emplace_back(record.raw);
    rows.lines.push_back(record.line);
  }
  return rows;
}

struct CsvCase {
  const char* name;
  std::string input;
  std::vector<std::vector<std::string>> fields;
  std::vector<int64_t> lines;
};

class CsvRows : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvRows, ReadTheSameInAnyPieces) {
  const CsvCase& c = GetParam();
  for (std::size_t piece :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
    const Rows rows = ReadAll(c.input, piece);
    EXPECT_EQ(rows.columns, (std::vector<std::string>{"a", "b"})) << c.name << " piece " << piece;
    EXPECT_EQ(rows.fields, c.fields) << c.name << " piece " << piece;
    EXPECT_EQ(rows.lines, c.lines) << c.name << " piece " << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvRows,
    ::testing::Values(
        CsvCase{"plain", "a,b\n1,2\n3,4\n", {{"1", "2"}, {"3", "4"}}, {2, 3}},
        CsvCase{"crlf", "a,b\r\n1,2\r\n3,4\r\n", {{"1", "2"}, {"3", "4"}}, {2, 3}},
        CsvCase{"no final line end", "a,b\n1,2", {{"1", "2"}}, {2}},
        CsvCase{"quoted comma", "a,b\n\"x,y\",2\n", {{"x,y", "2"}}, {2}},
        CsvCase{"doubled quotes", "a,b\n\"say \"\"hi\"\"\",\"\"\"\"\n", {{"say \"hi\"", "\""}}, {2}},
        CsvCase{
            "line break in quotes", "a,b\n\"one\ntwo\",2\n3,4\n", {{"one\ntwo", "2"}, {"3", "4"}}, {2, 4}},
        CsvCase{"empty fields", "a,b\n,\n\"\",x\n", {{"<null>", "<null>"}, {"", "x"}}, {2, 3}},
        CsvCase{"blank lines skipped", "a,b\n\n1,2\n\r\n3,4\n\n", {{"1", "2"}, {"3", "4"}}, {3, 5}},
        CsvCase{"byte order mark",
                "\xEF\xBB\xBF"
                "a,b\n1,2\n",
                {{"1", "2"}},
                {2}},
        CsvCase{"header only", "a,b\n", {}, {}},
        CsvCase{"lone CR line ends", "a,b\r1,2\r3,4\r", {{"1", "2"}, {"3", "4"}}, {2, 3}}),
    [](const ::testing::TestParamInfo<CsvCase>& param_info) {
      std::string name = param_info.param.name;
      for (char& ch : name) {
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(CsvReader, KeepsEachRowsBytesForOutput) {
  const Rows rows = ReadAll("a,b\n1,\"x\"\r\n3,4", 3);
  EXPECT_EQ(rows.raw, (std::vector<std::string>{"1,\"x\"\r\n", "3,4"}));
}

TEST(CsvReader, TypesFieldsByContent) {
  CsvReader reader("in.csv", ReadFrom("a,b\n12,x\n", 100));
  Record record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.fields[0].value.kind, ValueKind::kInt32);
  EXPECT_EQ(record.fields[1].value.kind, ValueKind::kText);
}

struct CsvErrorCase {
  const char* name;
  std::string input;
  std::string message;
};

class CsvErrors : public ::testing::TestWithParam<CsvErrorCase> {};

TEST_P(CsvErrors, NameFileAndLine) {
  const CsvErrorCase& c = GetParam();
  for (std::size_t piece : {std::size_t{1}, std::size_t{4096}}) {
    std::string message = "<no error>";
    try {
      CsvReader reader("in.csv", ReadFrom(c.input, piece));
      Record record;
      while (reader.Next(record)) {
      }
    } catch (const InputError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.name << " piece " << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvErrors,
    ::testing::Values(
        CsvErrorCase{"unterminated", "a,b\n1,2\n3,\"open\n4,5\n", "in.csv:3: unterminated quoted field"},
        CsvErrorCase{"too few fields", "a,b\n1,2\n3\n", "in.csv:3: 1 fields, expected 2 as in the header"},
        CsvErrorCase{"too many fields", "a,b\n1,2,3\n", "in.csv:2: 3 fields, expected 2 as in the header"},
        CsvErrorCase{"quote in unquoted", "a,b\n1,x\"y\n", "in.csv:2: quote inside an unquoted field"},
        CsvErrorCase{"text after quote", "a,b\n\"x\"y,2\n",
                     "in.csv:2: text after the closing quote of a field"},
        CsvErrorCase{"after multi-line field", "a,b\n\"x\ny\",2\n1\n",
                     "in.csv:4: 1 fields, expected 2 as in the header"},
        CsvErrorCase{"after lone CR", "a,b\r1\r", "in.csv:2: 1 fields, expected 2 as in the header"},
        CsvErrorCase{"no header", "", "in.csv:1: no header row"},
        CsvErrorCase{"blank name", "a,\n1,2\n", "in.csv:1: column 2 has no name"}),
    [](const ::testing::TestParamInfo<CsvErrorCase>& param_info) {
      std::string name = param_info.param.name;
      for (char& ch : name) {
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(CsvScan, WaitsForMoreBytesUntilTheRowIsComplete) {
  std::vector<CsvSlice> fields;
  EXPECT_EQ(ScanCsvRow("1,2", false, fields).status, CsvScan::kNeedMore);
  EXPECT_EQ(ScanCsvRow("\"a\"", false, fields).status, CsvScan::kNeedMore);  // a doubled quote may follow
  const CsvScan row = ScanCsvRow("1,2\r", false, fields);
  EXPECT_EQ(row.status, CsvScan::kRow);  // a live stream's row is complete at its CR
  EXPECT_TRUE(row.ends_with_cr);
  EXPECT_EQ(row.length, 4u);
}

}  // namespace
}  // namespace kvo::host
