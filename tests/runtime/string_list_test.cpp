// String lists: whole-text form, sorting and lookup ignoring letter case, and index errors.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/runtime_errors.h"
#include "runtime/string_list.h"

namespace kvo {
namespace {

using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& list) {
  Lines lines;
  for (int32_t i = 0; i < list.Count(); ++i)
    lines.push_back(list[i]);
  return lines;
}

struct SplitCase {
  std::string_view text;
  Lines lines;
};

class TextSplitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(TextSplitting, BreaksAtCrLfLoneCrOrLoneLf) {
  TStringList list;
  list.Add("left over");
  list.SetText(GetParam().text);
  EXPECT_EQ(LinesOf(list), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Breaks, TextSplitting,
                         ::testing::Values(SplitCase{"a\r\nb", {"a", "b"}}, SplitCase{"a\rb", {"a", "b"}},
                                           SplitCase{"a\nb", {"a", "b"}},
                                           SplitCase{"a\r\nb\r\n", {"a", "b"}},  // a final break adds no line
                                           SplitCase{"a\n", {"a"}}, SplitCase{"a\r", {"a"}},
                                           SplitCase{"", {}}, SplitCase{"\r\n", {""}},
                                           SplitCase{"a\n\nb", {"a", "", "b"}},
                                           SplitCase{"a\n\rb", {"a", "", "b"}},  // LF CR is two breaks
                                           SplitCase{"a\r\r\nb", {"a", "", "b"}},
                                           SplitCase{" x \r\n\ty", {" x ", "\ty"}}));

TEST(TextJoining, EveryLineIsFollowedByCrLf) {
  TStringList list;
  EXPECT_EQ(list.Text(), "");
  list.Add("x");
  list.Add("");
  list.Add("y");
  EXPECT_EQ(list.Text(), "x\r\n\r\ny\r\n");
}

TEST(StringListEditing, InsertPutDeleteAndClear) {
  TStringList list;
  EXPECT_EQ(list.Add("b"), 0);
  list.Insert(0, "a");
  list.Insert(2, "d");
  list.Insert(2, "c");
  EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c", "d"}));
  list.Put(1, "B");
  list.Delete(3);
  EXPECT_EQ(LinesOf(list), (Lines{"a", "B", "c"}));
  EXPECT_EQ(list.Get(2), "c");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListEditing, IndexOutOfRangeRaises) {
  TStringList list;
  list.Add("only");
  EXPECT_THROW(list.Get(1), EStringListError);
  EXPECT_THROW(list[-1], EStringListError);
  EXPECT_THROW(list.Put(1, "x"), EStringListError);
  EXPECT_THROW(list.Insert(2, "x"), EStringListError);
  EXPECT_THROW(list.Delete(1), EStringListError);
  EXPECT_EQ(LinesOf(list), (Lines{"only"}));
}

TEST(StringListLookup, IndexOfIgnoresLetterCaseAndFindsTheFirst) {
  TStringList list;
  list.SetText("Alpha\nbeta\nALPHA\n");
  EXPECT_EQ(list.IndexOf("alpha"), 0);
  EXPECT_EQ(list.IndexOf("BETA"), 1);
  EXPECT_EQ(list.IndexOf("gamma"), -1);
  EXPECT_EQ(list.IndexOf("alph"), -1);
}

TEST(SortedStringList, AddPlacesLinesInOrderIgnoringCase) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::dupAccept);
  for (std::string_view line : {"cherry", "Banana", "apple", "banana", "Apple2", "_x", "Zed"})
    list.Add(line);
  EXPECT_EQ(LinesOf(list), (Lines{"_x", "apple", "Apple2", "Banana", "banana", "cherry", "Zed"}));
  EXPECT_EQ(list.IndexOf("BANANA"), 3);
  EXPECT_EQ(list.IndexOf("date"), -1);
  EXPECT_EQ(list.Add("BANANA"), 5);  // after its equals
}

TEST(SortedStringList, DuplicatesAreIgnoredOrRefusedOnRequest) {
  TStringList list;
  list.SetSorted(true);
  list.Add("one");
  list.Add("two");
  EXPECT_EQ(list.Add("ONE"), 0);  // dupIgnore: the index of the line present
  EXPECT_EQ(list.Count(), 2);
  list.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(list.Add("Two"), EStringListError);
  EXPECT_EQ(LinesOf(list), (Lines{"one", "two"}));
}

TEST(SortedStringList, SortingAnExistingListKeepsEqualLinesInOrder) {
  TStringList list;
  list.SetText("b\nA\na\nC\n");
  list.SetSorted(true);
  EXPECT_EQ(LinesOf(list), (Lines{"A", "a", "b", "C"}));
  int32_t index = -1;
  EXPECT_TRUE(list.Find("c", index));
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(list.Find("B0", index));
  EXPECT_EQ(index, 3);  // where it would go
}

TEST(SortedStringList, RefusesPositionalChanges) {
  TStringList list;
  list.Add("b");
  list.SetSorted(true);
  EXPECT_THROW(list.Insert(0, "a"), EStringListError);
  EXPECT_THROW(list.Put(0, "z"), EStringListError);
  list.SetSorted(false);
  list.Insert(0, "z");
  EXPECT_EQ(LinesOf(list), (Lines{"z", "b"}));
}

TEST(StringListAssign, CopiesTheLinesOfAnotherList) {
  TStringList source;
  source.SetText("1\n2\n");
  TStringList dest;
  dest.SetText("old\n");
  dest.Assign(source);
  EXPECT_EQ(LinesOf(dest), (Lines{"1", "2"}));
  dest.Assign(dest);
  EXPECT_EQ(LinesOf(dest), (Lines{"1", "2"}));
}

TEST(StringListAssign, SortedTargetSortsWhatItReceives) {
  TStringList source;
  source.SetText("b\na\n");
  TStringList dest;
  dest.SetSorted(true);
  dest.Assign(source);
  EXPECT_EQ(LinesOf(dest), (Lines{"a", "b"}));
}

TEST(StringListAssign, FromAnObjectOfAnotherKindRaises) {
  class TOther : public TPersistent {};
  TOther other;
  TStringList list;
  list.Add("kept");
  EXPECT_THROW(list.Assign(other), EConvertError);
  EXPECT_EQ(LinesOf(list), (Lines{"kept"}));
}

}  // namespace
}  // namespace kvo
