// Tests of the INI file store: reading, key look-up, numbers, writing back, the written bytes.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "ini_test_support.h"
#include "settings/big_ini.h"

namespace kvo {
namespace {

using testing::FaultyFileSystem;
using testing::InstalledFileSystem;
using testing::ReadRaw;
using testing::ScratchFolder;
using testing::WriteRaw;

class BigIni : public ::testing::Test {
 protected:
  // A file holding `bytes`, its name returned.
  std::string Given(const std::string& bytes) {
    const std::string path = folder_.File("store.ini");
    WriteRaw(path, bytes);
    return path;
  }

  std::vector<std::string> LinesOf(TBigIniFile& ini, const std::string& section) {
    const int32_t index = ini.Sections().IndexOf(section);
    return index < 0 ? std::vector<std::string>{} : ini.Sections().Lines(index);
  }

  ScratchFolder folder_;
};

// --- reading ---

TEST_F(BigIni, MissingFileGivesAnEmptyUnmodifiedStore) {
  TBigIniFile ini(folder_.File("absent.ini"));
  EXPECT_EQ(ini.Sections().Count(), 0);
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ini.ReadString("s", "k", "default"), "default");
}

TEST_F(BigIni, DestroyingAnUnchangedStoreOnAMissingFileCreatesNoFile) {
  const std::string path = folder_.File("absent.ini");
  { TBigIniFile ini(path); }
  EXPECT_TRUE(folder_.Entries().empty());
}

TEST_F(BigIni, SectionsKeepTheirLinesAsReadInFileOrder) {
  const std::string path = Given(
      "[one]\r\n"
      "a=1\r\n"
      "; a comment\r\n"
      "no equals sign\r\n"
      "  padded = value  \r\n"
      "[two]\n"  // LF alone ends a line too
      "b=2\n");
  TBigIniFile ini(path);
  ASSERT_EQ(ini.Sections().Count(), 2);
  EXPECT_EQ(ini.Sections().Name(0), "one");
  EXPECT_EQ(ini.Sections().Name(1), "two");
  EXPECT_EQ(LinesOf(ini, "one"),
            (std::vector<std::string>{"a=1", "; a comment", "no equals sign", "  padded = value  "}));
  EXPECT_EQ(LinesOf(ini, "two"), (std::vector<std::string>{"b=2"}));
  EXPECT_FALSE(ini.Modified());
}

TEST_F(BigIni, EmptyAndCtrlZLinesAreDropped) {
  const std::string path = Given("[s]\r\n\r\na=1\r\n\x1A\r\n\r\nb=2\r\n\x1A");
  TBigIniFile ini(path);
  EXPECT_EQ(LinesOf(ini, "s"), (std::vector<std::string>{"a=1", "b=2"}));
}

TEST_F(BigIni, ALoneCarriageReturnStaysInsideTheLine) {
  const std::string path = Given("[s]\r\na=x\ry\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "a", ""), "x\ry");
}

TEST_F(BigIni, SectionNameIsTheTextBetweenTheBracketsUntrimmed) {
  const std::string path = Given("[ spaced name ]\r\na=1\r\n[]\r\nb=2\r\n[[x]]\r\nc=3\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString(" spaced name ", "a", ""), "1");
  EXPECT_EQ(ini.ReadString("spaced name", "a", "none"), "none");
  EXPECT_EQ(ini.ReadString("", "b", ""), "2");
  EXPECT_EQ(ini.ReadString("[x]", "c", ""), "3");
}

TEST_F(BigIni, HeaderWithABlankBeforeOrAfterIsAnOrdinaryLine) {
  const std::string path = Given("[a]\r\nk=1\r\n [b]\r\nm=2\r\n[c] \r\nn=3\r\n");
  TBigIniFile ini(path);
  ASSERT_EQ(ini.Sections().Count(), 1);
  EXPECT_EQ(LinesOf(ini, "a"), (std::vector<std::string>{"k=1", " [b]", "m=2", "[c] ", "n=3"}));
  EXPECT_EQ(ini.ReadString("a", "m", ""), "2");
}

// The comments a person wrote at the top survive every write-back unchanged, yet belong to no section.
TEST_F(BigIni, LinesBeforeTheFirstSectionStayAtTheTopOnEveryRewrite) {
  struct Case {
    const char* what;
    std::string file;
    std::string top;  // as written back
  };
  const Case cases[] = {
      {"key and comment", "orphan=1\r\n; header comment\r\n[s]\r\nk=v\r\n",
       "orphan=1\r\n; header comment\r\n"},
      {"empty lines inside kept, leading ones dropped", "\r\n\n# one\n\n# two\n\n[s]\nk=v\n",
       "# one\r\n\r\n# two\r\n\r\n"},
      {"no section yet", "; only a comment\r\n\r\n", "; only a comment\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Given(c.file);
    for (const char* value : {"w", "x"}) {
      {
        TBigIniFile ini(path);
        EXPECT_LE(ini.Sections().Count(), 1);
        EXPECT_EQ(ini.ReadString("", "orphan", "none"), "none");
        EXPECT_EQ(ini.ReadString("s", "orphan", "none"), "none");
        ini.WriteString("s", "k", value);
      }
      EXPECT_EQ(ReadRaw(path), c.top + "[s]\r\nk=" + value + "\r\n\r\n");
    }
  }
}

TEST_F(BigIni, LaterSectionOfTheSameNameIsDroppedWithItsLines) {
  const std::string original = "[a]\r\nx=1\r\n[b]\r\ny=2\r\n[A]\r\nx=3\r\nz=4\r\n";
  const std::string path = Given(original);
  {
    TBigIniFile ini(path);
    ASSERT_EQ(ini.Sections().Count(), 2);
    EXPECT_EQ(ini.ReadString("A", "x", ""), "1");
    EXPECT_EQ(ini.ReadString("a", "z", "none"), "none");
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(ReadRaw(path), original) << "dropping duplicates alone must not rewrite the file";
  {
    TBigIniFile ini(path);
    ini.WriteString("b", "y", "3");
  }
  EXPECT_EQ(ReadRaw(path), "[a]\r\nx=1\r\n\r\n[b]\r\ny=3\r\n\r\n");
}

TEST_F(BigIni, EmptyLineInsideASectionDoesNotSurviveARewrite) {
  const std::string path = Given("[s]\r\na=1\r\n\r\n\r\nb=2\r\n[t]\r\nc=3\r\n");
  {
    TBigIniFile ini(path);
    ini.WriteString("t", "c", "4");
  }
  EXPECT_EQ(ReadRaw(path), "[s]\r\na=1\r\nb=2\r\n\r\n[t]\r\nc=4\r\n\r\n");
}

// --- key look-up and strings ---

TEST_F(BigIni, ValueIsEverythingAfterTheFirstEqualsSign) {
  const std::string path = Given("[s]\r\nk=a=b\r\nempty=\r\nspaced= x \r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "k", ""), "a=b");
  EXPECT_EQ(ini.ReadString("s", "empty", "default"), "");
  EXPECT_EQ(ini.ReadString("s", "spaced", ""), " x ");
}

TEST_F(BigIni, MissingSectionOrKeyGivesTheDefault) {
  const std::string path = Given("[s]\r\nk=v\r\nbare\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("t", "k", "d1"), "d1");
  EXPECT_EQ(ini.ReadString("s", "x", "d2"), "d2");
  EXPECT_EQ(ini.ReadString("s", "bare", "d3"), "d3") << "a line without '=' has no key";
}

TEST_F(BigIni, KeyLookUpIgnoresLetterCaseAndTheFirstLineWins) {
  const std::string path = Given("[Sec]\r\nkey=5\r\nKEY=6\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("sEC", "KEY", ""), "5");
}

TEST_F(BigIni, BlanksAroundTheEqualsSignBelongToTheKeyName) {
  const std::string path = Given("[s]\r\nKey = 1\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "Key", "missing"), "missing");
  EXPECT_EQ(ini.ReadString("s", "Key ", "missing"), " 1");
  ini.WriteString("s", "Key", "2");
  EXPECT_EQ(LinesOf(ini, "s"), (std::vector<std::string>{"Key = 1", "Key=2"}));
  EXPECT_TRUE(ini.Modified());
}

TEST_F(BigIni, EscapesAreLeftToTheLayerAbove) {
  const std::string path = folder_.File("escapes.ini");
  const std::string value = R"("quoted" \n \t \\ ; not a comment %20)";
  {
    TBigIniFile ini(path);
    ini.WriteString("s", "k", value);
  }
  EXPECT_EQ(ReadRaw(path), "[s]\r\nk=" + value + "\r\n\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "k", ""), value);
}

TEST_F(BigIni, Utf8TextIsKeptByteForByte) {
  const std::string path = folder_.File("utf8.ini");
  const std::string value =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC";  // "Grüße €"
  {
    TBigIniFile ini(path);
    ini.WriteString("\xC3\x84nderung",
                    "Stra\xC3\x9F"
                    "e",
                    value);
  }
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("\xC3\x84nderung",
                           "STRA\xC3\x9F"
                           "E",
                           ""),
            value);
}

#if !defined(_WIN32)
TEST_F(BigIni, OnlyAsciiLettersFoldOnPosix) {
  const std::string path = Given("[s]\r\n\xC3\xA4=1\r\n");  // "ä=1"
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "\xC3\xA4", ""), "1");
  EXPECT_EQ(ini.ReadString("s", "\xC3\x84", "other"), "other");  // "Ä"
}
#endif

TEST_F(BigIni, SectionSearchStartsAtTheLastSectionAndWrapsAround) {
  const std::string path = Given("[a]\r\nk=1\r\n[b]\r\nk=2\r\n[c]\r\nk=3\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.LastSectionIndex(), 0);
  EXPECT_EQ(ini.ReadString("c", "k", ""), "3");
  EXPECT_EQ(ini.LastSectionIndex(), 2);
  EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
  EXPECT_EQ(ini.LastSectionIndex(), 0);
  EXPECT_EQ(ini.ReadString("b", "k", ""), "2");
  EXPECT_EQ(ini.LastSectionIndex(), 1);
  // A miss tests every section once and stops on the last one tested: the one before the start.
  EXPECT_EQ(ini.ReadString("none", "k", "d"), "d");
  EXPECT_EQ(ini.LastSectionIndex(), 0);
}

TEST_F(BigIni, ValueExistsIgnoresLetterCaseAndNeedsANamedLine) {
  const std::string path = Given("[s]\r\nAlpha=1\r\nbare\r\n=nameless\r\n");
  TBigIniFile ini(path);
  EXPECT_TRUE(ini.ValueExists("S", "ALPHA"));
  EXPECT_FALSE(ini.ValueExists("s", "bare"));
  EXPECT_FALSE(ini.ValueExists("s", ""));
  EXPECT_FALSE(ini.ValueExists("s", "beta"));
  EXPECT_FALSE(ini.ValueExists("t", "Alpha"));
}

TEST_F(BigIni, ReadSectionAppendsTheNonEmptyNames) {
  const std::string path = Given("[s]\r\nAlpha=1\r\nbare\r\n=nameless\r\nKey = 2\r\n; c=omment\r\n");
  TBigIniFile ini(path);
  std::vector<std::string> names{"kept"};
  ini.ReadSection("S", names);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "Alpha", "Key ", "; c"}));
  ini.ReadSection("missing", names);
  EXPECT_EQ(names.size(), 4u);
}

// --- numbers ---

struct IntegerCase {
  std::string text;
  int32_t expected;
};

void PrintTo(const IntegerCase& c, std::ostream* out) {
  *out << '"' << c.text << "\" -> " << c.expected;
}

class BigIniInteger : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(BigIniInteger, ReadsDecimalOrHexadecimalElseTheDefault) {
  ScratchFolder folder;
  const std::string path = folder.File("n.ini");
  WriteRaw(path, "[n]\r\nv=" + GetParam().text + "\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("n", "v", -99), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BigIniInteger,
    ::testing::Values(IntegerCase{"16", 16}, IntegerCase{"0x10", 16}, IntegerCase{"0X10", 16},
                      IntegerCase{"$10", 16}, IntegerCase{"0x1F", 31}, IntegerCase{"$1F", 31},
                      IntegerCase{"$1f", 31}, IntegerCase{"12abc", -99}, IntegerCase{"", -99},
                      IntegerCase{"-5", -5}, IntegerCase{"+5", 5}, IntegerCase{" 7", 7},
                      IntegerCase{"7 ", -99}, IntegerCase{"2147483647", INT32_MAX},
                      IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"2147483648", -99},
                      IntegerCase{"$FFFFFFFF", -1}, IntegerCase{"$100000000", -99}, IntegerCase{"-$10", -16},
                      IntegerCase{"$", -99}, IntegerCase{"0x", -99}, IntegerCase{"$-1", -99},
                      IntegerCase{"1.5", -99}, IntegerCase{"x10", -99},
                      // Only 255 characters follow "0x": the "Z" past them is never seen.
                      IntegerCase{"0x" + std::string(255, '0') + "Z", 0},
                      IntegerCase{"0x" + std::string(254, '0') + "Z", -99}));

TEST_F(BigIni, MissingIntegerGivesTheDefault) {
  TBigIniFile ini(folder_.File("absent.ini"));
  EXPECT_EQ(ini.ReadInteger("n", "v", 42), 42);
}

struct FloatCase {
  std::string text;
  double expected;
};

void PrintTo(const FloatCase& c, std::ostream* out) {
  *out << '"' << c.text << "\" -> " << c.expected;
}

class BigIniFloat : public ::testing::TestWithParam<FloatCase> {};

TEST_P(BigIniFloat, ReadsPointOrCommaElseTheDefault) {
  ScratchFolder folder;
  const std::string path = folder.File("f.ini");
  WriteRaw(path, "[f]\r\nv=" + GetParam().text + "\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadFloat("f", "v", -7.25), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BigIniFloat,
    ::testing::Values(FloatCase{"1.5", 1.5}, FloatCase{"1,5", 1.5}, FloatCase{"-2,25e3", -2250.0},
                      FloatCase{"0.1", 0.1}, FloatCase{"3", 3.0}, FloatCase{"+4.5", 4.5},
                      FloatCase{" 3.5 ", 3.5}, FloatCase{"1e-3", 0.001}, FloatCase{"", -7.25},
                      FloatCase{"abc", -7.25}, FloatCase{"1.2.3", -7.25}, FloatCase{"1,5.0", -7.25},
                      FloatCase{"nan", -7.25}, FloatCase{"inf", -7.25}, FloatCase{"1e999", -7.25},
                      FloatCase{"0x1p3", -7.25}, FloatCase{"+-1", -7.25}, FloatCase{"1 000", -7.25},
                      // as earlier versions wrote them
                      FloatCase{"1e+05", 100000.0}, FloatCase{"1e-04", 0.0001},
                      FloatCase{"2,5e-06", 2.5e-6}));

struct FloatTextCase {
  double value;
  std::string text;
};

void PrintTo(const FloatTextCase& c, std::ostream* out) {
  *out << c.value << " -> \"" << c.text << '"';
}

class BigIniFloatText : public ::testing::TestWithParam<FloatTextCase> {};

TEST_P(BigIniFloatText, WritesTheShortestTextWithAPoint) {
  ScratchFolder folder;
  TBigIniFile ini(folder.File("f.ini"));
  ini.WriteFloat("f", "v", GetParam().value);
  EXPECT_EQ(ini.ReadString("f", "v", ""), GetParam().text);
  EXPECT_EQ(ini.ReadFloat("f", "v", -1.0), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BigIniFloatText,
    ::testing::Values(FloatTextCase{1.5, "1.5"}, FloatTextCase{0.1, "0.1"}, FloatTextCase{100.0, "100"},
                      FloatTextCase{-0.25, "-0.25"}, FloatTextCase{1e20, "1e+20"}, FloatTextCase{0.0, "0"},
                      // plain decimals for exponents -5 to 14
                      FloatTextCase{100000.0, "100000"}, FloatTextCase{0.0001, "0.0001"},
                      FloatTextCase{1e-5, "0.00001"}, FloatTextCase{-0.000123, "-0.000123"},
                      FloatTextCase{123456789012345.0, "123456789012345"},
                      FloatTextCase{1234567.125, "1234567.125"}, FloatTextCase{1e-6, "1e-06"},
                      FloatTextCase{1e15, "1e+15"}, FloatTextCase{-2.5e-7, "-2.5e-07"}));

TEST_F(BigIni, WrittenFloatsReadBackExactly) {
  const std::string path = folder_.File("f.ini");
  const double values[] = {1.0 / 3.0, -1e-300, 123456789.125, 5e-324, DBL_MAX, 2.5e-7, 0.30000000000000004};
  {
    TBigIniFile ini(path);
    for (size_t i = 0; i < std::size(values); ++i)
      ini.WriteFloat("f", "v" + std::to_string(i), values[i]);
  }
  TBigIniFile ini(path);
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(ini.ReadFloat("f", "v" + std::to_string(i), 0.0), values[i]) << i;
  }
}

TEST_F(BigIni, NonFiniteFloatsReadBackAsTheDefault) {
  TBigIniFile ini(folder_.File("f.ini"));
  ini.WriteFloat("f", "nan", std::nan(""));
  ini.WriteFloat("f", "inf", HUGE_VAL);
  EXPECT_EQ(ini.ReadFloat("f", "nan", 2.5), 2.5);
  EXPECT_EQ(ini.ReadFloat("f", "inf", 2.5), 2.5);
}

TEST_F(BigIni, IntegersAreWrittenInDecimal) {
  TBigIniFile ini(folder_.File("n.ini"));
  ini.WriteInteger("n", "a", -2147483647 - 1);
  ini.WriteInteger("n", "b", 31);
  EXPECT_EQ(LinesOf(ini, "n"), (std::vector<std::string>{"a=-2147483648", "b=31"}));
}

// --- writing ---

TEST_F(BigIni, WritingCreatesSectionAndKeyAtTheEnd) {
  const std::string path = Given("[a]\r\nx=1\r\n");
  TBigIniFile ini(path);
  ini.WriteString("a", "y", "2");
  ini.WriteString("b", "z", "3");
  EXPECT_TRUE(ini.Modified());
  ASSERT_EQ(ini.Sections().Count(), 2);
  EXPECT_EQ(ini.Sections().Name(1), "b");
  EXPECT_EQ(LinesOf(ini, "a"), (std::vector<std::string>{"x=1", "y=2"}));
}

TEST_F(BigIni, WritingAKeyInOtherCaseReplacesTheLineWithTheCallersName) {
  const std::string path = Given("[s]\r\nkey=5\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadString("s", "KEY", ""), "5");
  ini.WriteString("s", "KEY", "5");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(LinesOf(ini, "s"), (std::vector<std::string>{"KEY=5"}));
}

TEST_F(BigIni, WritingTheStoredValueAgainChangesNothing) {
  const std::string path = Given("[s]\r\nkey=5\r\n");
  FaultyFileSystem counting;
  InstalledFileSystem installed(&counting);
  {
    TBigIniFile ini(path);
    ini.WriteString("s", "key", "5");
    ini.WriteInteger("s", "key", 5);
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(counting.creates, 0) << "the file must not be rewritten";
  EXPECT_EQ(ReadRaw(path), "[s]\r\nkey=5\r\n");
}

TEST_F(BigIni, ChangedValueIsWrittenOnceOnDestruction) {
  const std::string path = Given("[s]\r\nkey=5\r\n");
  FaultyFileSystem counting;
  InstalledFileSystem installed(&counting);
  {
    TBigIniFile ini(path);
    ini.WriteString("s", "key", "6");
    ini.WriteString("s", "other", "7");
  }
  EXPECT_EQ(counting.creates, 1);
  EXPECT_EQ(counting.renames, 1);
  EXPECT_EQ(ReadRaw(path), "[s]\r\nkey=6\r\nother=7\r\n\r\n");
}

TEST_F(BigIni, WrittenBytesAreExact) {
  const std::string path = folder_.File("new.ini");
  {
    TBigIniFile ini(path);
    ini.WriteString("First", "a", "1");
    ini.WriteString("First", "b", "two words");
    ini.WriteString("Second", "c", "");
    ini.WriteFloat("Second", "d", 0.5);
    ini.WriteInteger("Third", "e", -3);
  }
  EXPECT_EQ(ReadRaw(path),
            "[First]\r\na=1\r\nb=two words\r\n\r\n"
            "[Second]\r\nc=\r\nd=0.5\r\n\r\n"
            "[Third]\r\ne=-3\r\n\r\n");
}

TEST_F(BigIni, CommaDecimalFileWrittenElsewhereReadsBack) {
  const std::string path = Given("[Filter]\r\nVal1=0,75\r\nVal2=12,5\r\n");
  TBigIniFile ini(path);
  EXPECT_EQ(ini.ReadFloat("Filter", "Val1", 0.0), 0.75);
  EXPECT_EQ(ini.ReadFloat("Filter", "Val2", 0.0), 12.5);
}

TEST_F(BigIni, DeleteKeyRemovesTheLine) {
  const std::string path = Given("[s]\r\na=1\r\nb=2\r\n");
  {
    TBigIniFile ini(path);
    ini.DeleteKey("s", "A");
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(LinesOf(ini, "s"), (std::vector<std::string>{"b=2"}));
  }
  EXPECT_EQ(ReadRaw(path), "[s]\r\nb=2\r\n\r\n");
}

TEST_F(BigIni, DeletingAMissingKeyChangesNothing) {
  const std::string path = Given("[s]\r\na=1\r\n");
  TBigIniFile ini(path);
  ini.DeleteKey("s", "b");
  EXPECT_FALSE(ini.Modified());
}

TEST_F(BigIni, DeleteKeyOnAMissingSectionCreatesAnEmptySectionThatIsNotWritten) {
  const std::string path = Given("[s]\r\na=1\r\n");
  {
    TBigIniFile ini(path);
    ini.DeleteKey("ghost", "k");
    EXPECT_EQ(ini.Sections().Count(), 2);
    EXPECT_EQ(ini.LastSectionIndex(), 1);
    EXPECT_FALSE(ini.Modified());
    ini.WriteString("s", "a", "2");
  }
  EXPECT_EQ(ReadRaw(path), "[s]\r\na=2\r\n\r\n");
}

TEST_F(BigIni, SectionWhoseLastKeyWasDeletedIsNotWritten) {
  const std::string path = Given("[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
  {
    TBigIniFile ini(path);
    ini.DeleteKey("a", "x");
    EXPECT_EQ(ini.Sections().Count(), 2);
  }
  EXPECT_EQ(ReadRaw(path), "[b]\r\ny=2\r\n\r\n");
}

TEST_F(BigIni, EmptyKeyErasesTheSection) {
  const std::string path = Given("[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
  {
    TBigIniFile ini(path);
    ini.WriteString("a", "", "");
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(ini.Sections().IndexOf("a"), -1);
  }
  EXPECT_EQ(ReadRaw(path), "[b]\r\ny=2\r\n\r\n");
}

TEST_F(BigIni, EmptyKeySectionAndValueSaves) {
  const std::string path = Given("[a]\r\nx=1\r\n");
  TBigIniFile ini(path);
  ini.WriteString("a", "x", "2");
  ini.WriteString("", "", "");
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ReadRaw(path), "[a]\r\nx=2\r\n\r\n");
}

TEST_F(BigIni, EraseSectionResetsThePositions) {
  const std::string path = Given("[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c]\r\nz=3\r\n");
  TBigIniFile ini(path);
  ASSERT_EQ(ini.ReadString("c", "z", ""), "3");
  ASSERT_EQ(ini.Sections().IndexOf("b"), 1);
  ini.EraseSection("C");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.Sections().Count(), 2);
  EXPECT_EQ(ini.Sections().LastFoundIndex(), 0);
  EXPECT_EQ(ini.LastSectionIndex(), 0) << "the last section index lay past the end";
  EXPECT_EQ(ini.ReadString("b", "y", ""), "2");
}

TEST_F(BigIni, ErasingAMissingSectionChangesNothing) {
  const std::string path = Given("[a]\r\nx=1\r\n");
  TBigIniFile ini(path);
  ini.EraseSection("b");
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ini.Sections().Count(), 1);
}

TEST_F(BigIni, UpdateFileWithoutAFileNameOnlyClearsModified) {
  TBigIniFile ini("");
  ini.WriteString("s", "k", "v");
  EXPECT_TRUE(ini.Modified());
  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
  EXPECT_TRUE(folder_.Entries().empty());
}

TEST_F(BigIni, SetFileNameSavesThePreviousFileAndReadsTheNext) {
  const std::string first = folder_.File("first.ini");
  const std::string second = folder_.File("second.ini");
  WriteRaw(second, "[t]\r\nm=9\r\n");
  TBigIniFile ini(first);
  ini.WriteString("s", "k", "v");
  ini.SetFileName(second);
  EXPECT_EQ(ReadRaw(first), "[s]\r\nk=v\r\n\r\n");
  EXPECT_EQ(ini.FileName(), second);
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ini.ReadString("s", "k", "gone"), "gone");
  EXPECT_EQ(ini.ReadString("t", "m", ""), "9");
}

TEST_F(BigIni, SetFileNameToAMissingFileEmptiesTheStore) {
  const std::string path = Given("[s]\r\nk=v\r\n");
  TBigIniFile ini(path);
  ini.SetFileName(folder_.File("absent.ini"));
  EXPECT_EQ(ini.Sections().Count(), 0);
  EXPECT_FALSE(ini.Modified());
}

}  // namespace
}  // namespace kvo
