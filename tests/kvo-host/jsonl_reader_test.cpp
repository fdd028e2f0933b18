// JSON Lines rows: members in order, typed values, and the errors for what is not a flat object.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvo-host/jsonl_reader.h"
#include "kvo-host/reader_test_support.h"

namespace kvo::host {
namespace {

using testing::ReadFrom;

TEST(JsonlReader, ReadsMembersInOrderWithTypes) {
  JsonlReader reader("in.jsonl",
                     ReadFrom("{\"t\": 1, \"temp\": 20.5, \"ok\": true, \"s\": \"a\\\"b\", \"n\": null, "
                              "\"big\": 5000000000}\r\n\n{\"temp\": 21, \"x\": false}",
                              5));
  Record record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.line, 1);
  ASSERT_EQ(record.fields.size(), 6u);
  EXPECT_EQ(record.fields[0].value.kind, ValueKind::kInt32);
  EXPECT_EQ(record.fields[1].value.kind, ValueKind::kDouble);
  EXPECT_EQ(record.fields[1].value.number, 20.5);
  EXPECT_EQ(record.fields[2].value.kind, ValueKind::kBool);
  EXPECT_EQ(record.fields[2].value.integer, 1);
  EXPECT_EQ(record.fields[3].value.kind, ValueKind::kText);
  EXPECT_EQ(record.fields[3].value.text, "a\"b");
  EXPECT_EQ(record.fields[4].value.kind, ValueKind::kNull);
  EXPECT_EQ(record.fields[5].value.kind, ValueKind::kInt64);
  EXPECT_EQ(record.fields[5].value.integer, 5000000000LL);
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.line, 3);
  EXPECT_EQ(record.raw, "{\"temp\": 21, \"x\": false}");
  ASSERT_EQ(record.fields.size(), 2u);
  EXPECT_EQ(record.fields[0].column, 1);  // "temp" keeps its column
  EXPECT_EQ(record.fields[1].column, 6);  // "x" is new
  EXPECT_FALSE(reader.Next(record));
  EXPECT_EQ(reader.Columns(), (std::vector<std::string>{"t", "temp", "ok", "s", "n", "big", "x"}));
}

struct JsonErrorCase {
  std::string input;
  std::string starts_with;
};

class JsonlErrors : public ::testing::TestWithParam<JsonErrorCase> {};

TEST_P(JsonlErrors, NameFileAndLine) {
  const JsonErrorCase& c = GetParam();
  std::string message = "<no error>";
  try {
    JsonlReader reader("in.jsonl", ReadFrom(c.input, 3));
    Record record;
    while (reader.Next(record)) {
    }
  } catch (const InputError& e) {
    message = e.what();
  }
  EXPECT_EQ(message.substr(0, c.starts_with.size()), c.starts_with) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonlErrors,
    ::testing::Values(JsonErrorCase{"{\"a\":1}\n{\"a\":\n", "in.jsonl:2: invalid JSON, column "},
                      JsonErrorCase{"{\"a\":1}\n[1,2]\n", "in.jsonl:2: not a JSON object"},
                      JsonErrorCase{"{\"a\":{\"b\":1}}\n", "in.jsonl:1: nested value in \"a\""},
                      JsonErrorCase{"\n\n{\"a\":[1]}\n", "in.jsonl:3: nested value in \"a\""},
                      JsonErrorCase{"{\"\":1}\n", "in.jsonl:1: member with a blank name"},
                      JsonErrorCase{"{\"a\":1}\n{\"a\":1e999}\n",
                                    "in.jsonl:2: invalid JSON, number overflow"},
                      JsonErrorCase{"8e88888888\n", "in.jsonl:1: invalid JSON, number overflow"},
                      JsonErrorCase{"{\"a\":1} x\n", "in.jsonl:1: invalid JSON, column "}));

}  // namespace
}  // namespace kvo::host
