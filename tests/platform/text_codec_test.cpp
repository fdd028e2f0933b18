// Tests of the 8-bit/UTF-16 conversions and the 8-bit case folding.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/text_codec.h"

namespace kvo::platform {
namespace {

struct TextPair {
  std::string_view narrow;
  std::u16string_view wide;
};

// ASCII reads the same in every code page; the rest is UTF-8, the 8-bit text on POSIX.
constexpr TextPair kRoundTrips[] = {
    {"", u""},
    {"plain ASCII, 123 ~", u"plain ASCII, 123 ~"},
    {std::string_view("a\0b", 3), std::u16string_view(u"a\0b", 3)},
#if !defined(_WIN32)
    {"caf\xC3\xA9", u"caf\u00E9"},
    {"\xE2\x82\xAC 5", u"\u20AC 5"},
    {"\xEF\xBF\xBF", u"\uFFFF"},
    {"\xF0\x9D\x84\x9E clef", u"\U0001D11E clef"},
    {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
#endif
};

TEST(TextCodec, NarrowAndWideRoundTrip) {
  for (const TextPair& pair : kRoundTrips) {
    EXPECT_EQ(WideFromNarrow(pair.narrow), pair.wide) << pair.narrow;
    EXPECT_EQ(NarrowFromWide(pair.wide), pair.narrow) << pair.narrow;
  }
}

TEST(TextCodec, AppendKeepsWhatIsThere) {
  std::string out = "log: ";
  AppendNarrowFromWide(u"first", out);
  AppendNarrowFromWide(u"", out);
  AppendNarrowFromWide(u", second", out);
  EXPECT_EQ(out, "log: first, second");
}

#if !defined(_WIN32)
TEST(TextCodec, InvalidUtf8IsReplaced) {
  // Each maximal invalid subpart becomes one U+FFFD.
  const TextPair cases[] = {
      {"\x80", u"\uFFFD"},  // lone continuation byte
      {"a\xFF"
       "b",
       u"a\uFFFDb"},                                      // byte never used in UTF-8
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong "/"
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate U+D800
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE2\x82", u"\uFFFD"},                            // truncated at the end
      {"\xE2\x82x", u"\uFFFDx"},                          // truncated before ASCII
      {"\xF0\x9D\x84\xE2\x82\xAC", u"\uFFFD\u20AC"},      // truncated before a valid sequence
  };
  for (const TextPair& c : cases) {
    EXPECT_EQ(WideFromNarrow(c.narrow), c.wide) << ::testing::PrintToString(c.narrow);
  }
}

TEST(TextCodec, LoneSurrogatesAreReplaced) {
  const TextPair cases[] = {
      {"\xEF\xBF\xBD", u"\xD800"},
      {"a\xEF\xBF\xBD"
       "b",
       u"a\xDC00"
       "b"},
      {"\xEF\xBF\xBDx", u"\xD83Dx"},
      {"\xEF\xBF\xBD\xEF\xBF\xBD", u"\xDC00\xD800"},  // reversed pair
  };
  for (const TextPair& c : cases) {
    EXPECT_EQ(NarrowFromWide(c.wide), c.narrow) << ::testing::PrintToString(c.narrow);
  }
}

TEST(TextCodec, LowerNarrowLeavesUtf8Intact) {
  std::string text = "\xC3\x84pfel ABC";  // "Äpfel": the capital umlaut stays as it is
  LowerNarrow(text.data(), text.size());
  EXPECT_EQ(text, "\xC3\x84pfel abc");
}
#endif

TEST(TextCodec, LowerNarrowFoldsAsciiLetters) {
  std::string text = "Hello, WORLD @[`{ 09 Zz";
  LowerNarrow(text.data(), 5);  // only the given length
  EXPECT_EQ(text, "hello, WORLD @[`{ 09 Zz");
  LowerNarrow(text.data(), text.size());
  EXPECT_EQ(text, "hello, world @[`{ 09 zz");
}

TEST(TextCodec, SameTextLocaleIgnoresLetterCase) {
  struct Case {
    std::string_view a, b;
    bool same;
  };
  const Case cases[] = {
    {"", "", true},
    {"Deadband", "DEADBAND", true},
    {"deadband", "deadbanD", true},
    {"abc", "abd", false},
    {"abc", "abcd", false},
    {"", "a", false},
    {"Item 1", "item 1", true},
    {"Item 1", "Item 2", false},
#if !defined(_WIN32)
    {"\xC3\xA9", "\xC3\x89", false},  // é and É: only ASCII folds here
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameTextLocale(c.a, c.b), c.same) << c.a << " / " << c.b;
  }
}

TEST(TextCodec, Utf8BecomesThePlatformsEightBitText) {
  // "Größe" in UTF-8.
  const std::string utf8 =
      "Gr\xC3\xB6\xC3\x9F"
      "e";
  EXPECT_EQ(NarrowFromUtf8(utf8), NarrowFromWide(u"Gr\u00f6\u00dfe"));
  EXPECT_EQ(NarrowFromUtf8("plain"), "plain");
  EXPECT_EQ(NarrowFromUtf8(""), "");
}

}  // namespace
}  // namespace kvo::platform
