// Typing of field texts: numbers become 32- or 64-bit integers or doubles, empty unquoted fields Null,
// everything else text.
#include <gtest/gtest.h>

#include <string>

#include "kvo-host/value.h"

namespace kvo::host {
namespace {

struct TypingCase {
  const char* text;
  bool quoted;
  ValueKind kind;
  int64_t integer;
  double number;
};

class CsvFieldTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(CsvFieldTyping, GivesKindAndValue) {
  const TypingCase& c = GetParam();
  const FieldValue value = TypeCsvField(c.text, c.quoted);
  EXPECT_EQ(value.kind, c.kind) << c.text;
  if (c.kind == ValueKind::kInt32 || c.kind == ValueKind::kInt64) {
    EXPECT_EQ(value.integer, c.integer) << c.text;
  }
  if (c.kind == ValueKind::kDouble) {
    EXPECT_DOUBLE_EQ(value.number, c.number) << c.text;
  }
  EXPECT_EQ(value.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvFieldTyping,
    ::testing::Values(
        TypingCase{"", false, ValueKind::kNull, 0, 0}, TypingCase{"", true, ValueKind::kText, 0, 0},
        TypingCase{"42", false, ValueKind::kInt32, 42, 0}, TypingCase{"-7", false, ValueKind::kInt32, -7, 0},
        TypingCase{"+7", false, ValueKind::kInt32, 7, 0},
        TypingCase{"2147483647", false, ValueKind::kInt32, 2147483647, 0},
        TypingCase{"2147483648", false, ValueKind::kInt64, 2147483648LL, 0},
        TypingCase{"-2147483649", false, ValueKind::kInt64, -2147483649LL, 0},
        TypingCase{"99999999999999999999", false, ValueKind::kDouble, 0, 1e20},
        TypingCase{"20.5", false, ValueKind::kDouble, 0, 20.5},
        TypingCase{".5", false, ValueKind::kDouble, 0, 0.5},
        TypingCase{"5.", false, ValueKind::kDouble, 0, 5.0},
        TypingCase{"-1.5e3", false, ValueKind::kDouble, 0, -1500.0},
        TypingCase{"21.5", true, ValueKind::kDouble, 0, 21.5},
        TypingCase{" 12", false, ValueKind::kText, 0, 0}, TypingCase{"12 ", false, ValueKind::kText, 0, 0},
        TypingCase{"1e", false, ValueKind::kText, 0, 0}, TypingCase{"inf", false, ValueKind::kText, 0, 0},
        TypingCase{"nan", false, ValueKind::kText, 0, 0}, TypingCase{"0x10", false, ValueKind::kText, 0, 0},
        TypingCase{"1,5", true, ValueKind::kText, 0, 0}, TypingCase{"true", false, ValueKind::kText, 0, 0},
        TypingCase{"-", false, ValueKind::kText, 0, 0}, TypingCase{"1e999", false, ValueKind::kText, 0, 0}));

TEST(FieldValue, AsDoubleOnlyForNumbersAndBooleans) {
  double out = -1;
  FieldValue value = TypeCsvField("3", false);
  EXPECT_TRUE(value.AsDouble(&out));
  EXPECT_EQ(out, 3.0);
  EXPECT_FALSE(TypeCsvField("abc", false).AsDouble(&out));
  EXPECT_FALSE(TypeCsvField("", false).AsDouble(&out));
  value.kind = ValueKind::kBool;
  value.integer = 1;
  EXPECT_TRUE(value.AsDouble(&out));
  EXPECT_EQ(out, 1.0);
}

}  // namespace
}  // namespace kvo::host
