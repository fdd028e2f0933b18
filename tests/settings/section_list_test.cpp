// Tests of the section list: look-up order, the remembered hit, duplicates, ownership of the lines.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "settings/section_list.h"

namespace kvo {
namespace {

TEST(SectionList, EmptyListFindsNothing) {
  TSectionList list;
  EXPECT_EQ(list.IndexOf("a"), -1);
  EXPECT_EQ(list.LastFoundIndex(), 0);
}

TEST(SectionList, LookUpIgnoresLetterCaseAndRemembersTheHit) {
  TSectionList list;
  list.Add("Alpha");
  list.Add("Beta");
  list.Add("Gamma");
  EXPECT_EQ(list.IndexOf("gAMMA"), 2);
  EXPECT_EQ(list.LastFoundIndex(), 2);
  EXPECT_EQ(list.IndexOf("alpha"), 0);
  EXPECT_EQ(list.LastFoundIndex(), 0);
}

TEST(SectionList, MissLeavesTheRememberedHit) {
  TSectionList list;
  list.Add("a");
  list.Add("b");
  ASSERT_EQ(list.IndexOf("b"), 1);
  EXPECT_EQ(list.IndexOf("c"), -1);
  EXPECT_EQ(list.LastFoundIndex(), 1);
}

TEST(SectionList, SearchStartsAtTheLastHitAndWrapsAround) {
  // Equal names show which position is tested first.
  TSectionList list;
  list.Add("x");
  list.Add("y");
  list.Add("X");
  list.SetLastFoundIndex(1);
  EXPECT_EQ(list.IndexOf("x"), 2);
  list.SetLastFoundIndex(0);
  EXPECT_EQ(list.IndexOf("x"), 0);
  list.SetLastFoundIndex(2);
  EXPECT_EQ(list.IndexOf("y"), 1);
}

TEST(SectionList, RememberedHitPastTheEndStartsAtTheFront) {
  TSectionList list;
  list.Add("a");
  list.SetLastFoundIndex(7);
  EXPECT_EQ(list.IndexOf("A"), 0);
}

TEST(SectionList, EachSectionOwnsItsLines) {
  TSectionList list;
  const int32_t first = list.Add("one", {"k=1", "; note"});
  const int32_t second = list.Add("two");
  list.Lines(second).push_back("m=2");
  EXPECT_EQ(list.Lines(first), (std::vector<std::string>{"k=1", "; note"}));
  list.Delete(first);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Name(0), "two");
  EXPECT_EQ(list.Lines(0), (std::vector<std::string>{"m=2"}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

struct DuplicateCase {
  std::vector<std::string> names;
  std::vector<std::string> kept;
};

void PrintTo(const DuplicateCase& c, std::ostream* out) {
  for (const std::string& name : c.names)
    *out << '[' << name << ']';
}

class SectionListDuplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(SectionListDuplicates, KeepTheFirstOfEachNameInFileOrder) {
  TSectionList list;
  for (size_t i = 0; i < GetParam().names.size(); ++i) {
    list.Add(GetParam().names[i], {"line" + std::to_string(i)});
  }
  list.DropDuplicates();
  std::vector<std::string> kept;
  for (int32_t i = 0; i < list.Count(); ++i) {
    kept.push_back(list.Name(i));
    // The lines that stay are those of the kept section, found by its position in the input.
    size_t position = 0;
    while (GetParam().names[position] != list.Name(i))
      ++position;
    EXPECT_EQ(list.Lines(i), (std::vector<std::string>{"line" + std::to_string(position)}));
  }
  EXPECT_EQ(kept, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, SectionListDuplicates,
                         ::testing::Values(DuplicateCase{{}, {}}, DuplicateCase{{"a"}, {"a"}},
                                           DuplicateCase{{"a", "b"}, {"a", "b"}},
                                           DuplicateCase{{"a", "A"}, {"a"}},
                                           DuplicateCase{{"B", "a", "b", "A", "c", "a"}, {"B", "a", "c"}},
                                           DuplicateCase{{"z", "y", "x", "Y", "Z", "X"}, {"z", "y", "x"}},
                                           DuplicateCase{{"", "k", ""}, {"", "k"}},
                                           DuplicateCase{{"a b", "a  b", "A B"}, {"a b", "a  b"}}));

#if !defined(_WIN32)
// On POSIX only A-Z fold, so UTF-8 names that differ only in the case of other letters stay apart.
TEST(SectionList, NonAsciiLettersKeepTheirCaseOnPosix) {
  TSectionList list;
  list.Add("\xC3\x84rger");  // "Ärger"
  list.Add("\xC3\xA4rger");  // "ärger"
  list.DropDuplicates();
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf("\xC3\xA4RGER"), 1);
}
#endif

}  // namespace
}  // namespace kvo
