// Tests of the small text routines: copying, trimming, comparison, fields and "|"-lists.
#include "text/text_utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::text {
namespace {

using namespace std::string_view_literals;

TEST(CopyText, CopyHasOwnStorageAndKeepsNulBytes) {
  const std::string source("a\0b\0"sv);
  const std::string copy = CopyText(source);
  EXPECT_EQ(copy, source);
  EXPECT_NE(static_cast<const void*>(copy.data()), static_cast<const void*>(source.data()));
}

TEST(CopyBytes, OverlappingRangesMoveLikeMemmove) {
  char forward[] = "abcdef";
  CopyBytes(forward, forward + 2, 4);
  EXPECT_STREQ(forward, "ababcd");
  char backward[] = "abcdef";
  CopyBytes(backward + 2, backward, 4);
  EXPECT_STREQ(backward, "cdefef");
}

TEST(CopyBytes, ZeroCountTouchesNothingAndAcceptsNullPointers) {
  char dest[] = "xyz";
  CopyBytes("abc", dest, 0);
  EXPECT_STREQ(dest, "xyz");
  CopyBytes(nullptr, nullptr, 0);  // the sanitizers reject a null memmove, even of zero bytes
}

struct TrimCase {
  std::string_view input;
  std::string_view both;
  std::string_view left;
  std::string_view right;
};

TEST(Trim, RemovesBytesAtOrBelowBlankOnlyFromTheAskedEnds) {
  const TrimCase cases[] = {
      {""sv, ""sv, ""sv, ""sv},
      {"   "sv, ""sv, ""sv, ""sv},
      {"  a b  "sv, "a b"sv, "a b  "sv, "  a b"sv},
      {"\t\r\n a\x01"sv, "a"sv, "a\x01"sv, "\t\r\n a"sv},
      {"\0a\0"sv, "a"sv, "a\0"sv, "\0a"sv},
      {"! !"sv, "! !"sv, "! !"sv, "! !"sv},                          // 33 is not blank
      {"\xa0x\xff"sv, "\xa0x\xff"sv, "\xa0x\xff"sv, "\xa0x\xff"sv},  // high bytes are not negative
  };
  for (const TrimCase& c : cases) {
    const std::string shown(c.input);
    EXPECT_EQ(Trim(c.input), c.both) << shown;
    EXPECT_EQ(TrimLeft(c.input), c.left) << shown;
    EXPECT_EQ(TrimRight(c.input), c.right) << shown;
  }
}

TEST(Trim, ResultIsAViewIntoTheInput) {
  const std::string_view input = "  ab  ";
  EXPECT_EQ(Trim(input).data(), input.data() + 2);
}

struct SameTextCase {
  std::string_view a;
  std::string_view b;
  bool same;
};

TEST(SameText, FoldsOnlyAsciiLetters) {
  const SameTextCase cases[] = {
      {""sv, ""sv, true},          {"abc"sv, "ABC"sv, true},    {"MiXeD"sv, "mIxEd"sv, true},
      {"abc"sv, "abd"sv, false},   {"a"sv, ""sv, false},        {"ab"sv, "abc"sv, false},
      {"["sv, "{"sv, false},  // 32 apart like letters, but not letters
      {"@"sv, "`"sv, false},       {"\xc4"sv, "\xe4"sv, false}, {"a\0b"sv, "A\0B"sv, true},
      {"a\0b"sv, "a\0c"sv, false},
  };
  for (const SameTextCase& c : cases) {
    EXPECT_EQ(SameText(c.a, c.b), c.same) << std::string(c.a) << " / " << std::string(c.b);
    EXPECT_EQ(SameText(c.b, c.a), c.same) << std::string(c.b) << " / " << std::string(c.a);
  }
}

struct FieldCase {
  const char* what;
  std::string_view text;
  std::string_view delimiter;
  int32_t index;
  bool trim;
  std::string_view expected;
  int32_t length;
  int32_t start;
};

TEST(ExtractField, GivesTextLengthAndStartOfTheIndexedField) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const FieldCase cases[] = {
      {"first of two-byte delimiter", "a||b"sv, "||"sv, 1, false, "a"sv, 1, 1},
      {"last of two-byte delimiter", "a||b"sv, "||"sv, 2, false, "b"sv, 1, 4},
      {"past the last", "a||b"sv, "||"sv, 3, false, ""sv, 0, -1},
      {"past the last, short list", "1;COM1"sv, ";"sv, 3, false, ""sv, 0, -1},
      {"last runs to the end", "1;COM1"sv, ";"sv, 2, false, "COM1"sv, 4, 3},
      {"index far past the last", "a;b"sv, ";"sv, kMax, false, ""sv, 0, -1},
      {"index 0", "a;b"sv, ";"sv, 0, false, ""sv, 0, -1},
      {"negative index", "a;b"sv, ";"sv, -1, false, ""sv, 0, -1},
      {"empty between delimiters", "a||b"sv, "|"sv, 2, false, ""sv, 0, 3},
      {"empty first", "|a"sv, "|"sv, 1, false, ""sv, 0, 1},
      {"empty after final delimiter", "a|"sv, "|"sv, 2, false, ""sv, 0, 3},
      {"none after the empty last", "a|"sv, "|"sv, 3, false, ""sv, 0, -1},
      {"empty text", ""sv, "|"sv, 1, false, ""sv, 0, 1},
      {"empty text has one field", ""sv, "|"sv, 2, false, ""sv, 0, -1},
      {"empty delimiter: whole text", "abc"sv, ""sv, 1, false, "abc"sv, 3, 1},
      {"empty delimiter: nothing more", "abc"sv, ""sv, 2, false, ""sv, 0, -1},
      {"delimiter longer than text", "ab"sv, "|||"sv, 1, false, "ab"sv, 2, 1},
      {"partial delimiter stays in field", "a|b||c"sv, "||"sv, 1, false, "a|b"sv, 3, 1},
      {"after partial delimiter", "a|b||c"sv, "||"sv, 2, false, "c"sv, 1, 6},
      {"untrimmed keeps blanks", "x| y |z"sv, "|"sv, 2, false, " y "sv, 3, 3},
      {"trimmed; length before trimming", "x|  y \t|z"sv, "|"sv, 2, true, "y"sv, 5, 3},
      {"trimmed blanks only", "x|   |z"sv, "|"sv, 2, true, ""sv, 3, 3},
      {"NUL inside a field", "a\0b|c"sv, "|"sv, 1, false, "a\0b"sv, 3, 1},
      {"NUL delimiter", "a\0bc"sv, "\0"sv, 2, false, "bc"sv, 2, 3},
  };
  for (const FieldCase& c : cases) {
    const Field field = ExtractField(c.text, c.delimiter, c.index, c.trim);
    EXPECT_EQ(field.text, c.expected) << c.what;
    EXPECT_EQ(field.length, c.length) << c.what;
    EXPECT_EQ(field.start, c.start) << c.what;
  }
}

TEST(ExtractField, TextIsAViewIntoTheSourceAtTheTrimmedStart) {
  const std::string_view text = "ab; cd ;ef";
  const Field field = ExtractField(text, ";", 2, true);
  EXPECT_EQ(field.text.data(), text.data() + 4);
  EXPECT_EQ(field.start, 4);  // the untrimmed field's start
}

struct ListCase {
  std::string_view list;
  std::string_view item;
  int32_t expected;
};

TEST(IndexOfListItem, FindsFirstEntryWithoutRegardToCase) {
  constexpr std::string_view kTypes = "unknown|char|byte|word|integer|float|double|string";
  const ListCase cases[] = {
      {kTypes, "float"sv, 5},      {kTypes, "Float"sv, 5}, {kTypes, "FLOAT"sv, 5}, {kTypes, "unknown"sv, 0},
      {kTypes, "string"sv, 7},     {kTypes, ""sv, -1},     {kTypes, "str"sv, -1},  {kTypes, "floats"sv, -1},
      {kTypes, "char|byte"sv, -1}, {"x|X"sv, "x"sv, 0},    {"a||b"sv, "b"sv, 2},   {"a||b"sv, ""sv, -1},
      {"|a"sv, "a"sv, 1},          {"|a"sv, ""sv, -1},     {"a|b|"sv, "b"sv, 1},   {"a|b|"sv, ""sv, -1},
      {""sv, "a"sv, -1},           {""sv, ""sv, -1},
  };
  for (const ListCase& c : cases) {
    EXPECT_EQ(IndexOfListItem(c.list, c.item), c.expected)
        << std::string(c.list) << " / " << std::string(c.item);
  }
}

}  // namespace
}  // namespace kvo::text

namespace kvo::text {
namespace {

TEST(SplitLines, EndsAtCrLfLoneCrOrLoneLfWithoutATrailingEmptyLine) {
  struct Case {
    std::string_view text;
    std::vector<std::string_view> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\r\n", {"a"}},
      {"a\n\r", {"a", ""}},  // LF then a lone CR: two breaks
      {"\r\n\r\n", {"", ""}},
      {"a\r\n\r\nb", {"a", "", "b"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}

}  // namespace
}  // namespace kvo::text
