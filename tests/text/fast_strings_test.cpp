// Tests of FindFrom and ReplaceAll on hand-picked edge cases.
#include "text/fast_strings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace kvo::text {
namespace {

using namespace std::string_view_literals;

struct FindCase {
  const char* what;
  std::string_view pattern;
  std::string_view source;
  int32_t start;
  int32_t expected;
};

TEST(FindFrom, GivesOneBasedPositionOfFirstOccurrenceAtOrAfterStart) {
  const FindCase cases[] = {
      {"empty pattern", ""sv, "abc"sv, 1, 0},
      {"pattern longer than source", "abcd"sv, "abc"sv, 1, 0},
      {"empty source", "a"sv, ""sv, 1, 0},
      {"start 0", "a"sv, "abc"sv, 0, 0},
      {"negative start", "a"sv, "abc"sv, -3, 0},
      {"at the very start", "ab"sv, "abc"sv, 1, 1},
      {"at the very end", "yz"sv, "abcxyz"sv, 1, 5},
      {"whole source", "abc"sv, "abc"sv, 1, 1},
      {"absent", "abd"sv, "abcabc"sv, 1, 0},
      {"letter case counts", "A"sv, "abc"sv, 1, 0},
      {"start on the occurrence", "b"sv, "abcb"sv, 2, 2},
      {"start after the first occurrence", "b"sv, "abcb"sv, 3, 4},
      {"start on the last byte", "c"sv, "abc"sv, 3, 3},
      {"start just past the end", "a"sv, "aaa"sv, 4, 0},
      {"window would cross the end", "aa"sv, "aaa"sv, 3, 0},
      {"start far past the end", "a"sv, "aaa"sv, std::numeric_limits<int32_t>::max(), 0},
      {"overlapping candidates", "aa"sv, "aaaa"sv, 2, 2},
      {"repeated byte keeps its last skip", "abab"sv, "xabababab"sv, 1, 2},
      {"mismatch before the last byte", "xbc"sv, "abcxbc"sv, 1, 4},
      {"NUL bytes", "\0b"sv, "a\0\0b"sv, 1, 3},
      {"bytes above 127", "\xff\x80"sv, "a\x80\xff\x80"sv, 1, 3},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindFrom(c.pattern, c.source, c.start), c.expected) << c.what;
  }
}

TEST(FindFrom, StartDefaultsToTheFirstByte) {
  EXPECT_EQ(FindFrom("a", "abc"), 1);
}

struct ReplaceCase {
  const char* what;
  std::string_view source;
  std::string_view find;
  std::string_view replace;
  std::string_view expected;
};

TEST(ReplaceAll, ReplacesEveryNonOverlappingOccurrenceLeftToRight) {
  const ReplaceCase cases[] = {
      {"empty source", ""sv, "a"sv, "b"sv, ""sv},
      {"empty find", "abc"sv, ""sv, "x"sv, "abc"sv},
      {"removal leaves the rest", "&&a&"sv, "&"sv, ""sv, "a"sv},
      {"no occurrence", "abc"sv, "x"sv, "yy"sv, "abc"sv},
      {"find longer than source", "ab"sv, "abc"sv, "x"sv, "ab"sv},
      {"whole source", "abc"sv, "abc"sv, "xy"sv, "xy"sv},
      {"replacement holds the find text", "aaa"sv, "a"sv, "aa"sv, "aaaaaa"sv},
      {"replacement wraps the find text", "abc"sv, "b"sv, "xbx"sv, "axbxc"sv},
      {"occurrences do not overlap", "aaa"sv, "aa"sv, "b"sv, "ba"sv},
      {"shrinking multi-byte", "x||y||z"sv, "||"sv, "|"sv, "x|y|z"sv},
      {"same length", "a-b-c"sv, "-"sv, "+"sv, "a+b+c"sv},
      {"at both ends", "-a-"sv, "-"sv, "<>"sv, "<>a<>"sv},
      {"NUL bytes", "a\0b\0"sv, "\0"sv, "--"sv, "a--b--"sv},
      {"NUL in the replacement", "a,b"sv, ","sv, "\0"sv, "a\0b"sv},
  };
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(ReplaceAll(c.source, c.find, c.replace), c.expected) << c.what;
  }
}

TEST(ReplaceAll, ResultLargerThanTheUpFrontReservationIsComplete) {
  // 96 KiB times a 1 KiB replacement is past the most reserved up front, so the result has to grow.
  const std::string source(96 * 1024, 'a');
  std::string replace(1024, 'x');
  replace.back() = 'y';
  const std::string result = ReplaceAll(source, "a", replace);
  ASSERT_EQ(result.size(), source.size() * replace.size());
  for (size_t i = 0; i < source.size(); ++i) {
    ASSERT_EQ(std::string_view(result).substr(i * replace.size(), replace.size()), replace) << i;
  }
}

}  // namespace
}  // namespace kvo::text
