// Block-by-block decisions of the deadband filter: bands, relationships, rows, markers and the clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deadband/deadband_filter.h"
#include "deadband_test_support.h"

namespace kvo {
namespace {

using testing::Entry;
using testing::Harness;
using testing::Marker;
using Type = TDeadBandType;

// One item watching "x"; each value is a block of its own. 'P' for a passed block, 'D' for a dropped one.
struct SequenceCase {
  const char* what;
  Type type;
  double band;
  std::vector<Variant> values;
  std::string expected;
};

// The decisions for the case's values, one block each.
std::string Decisions(const SequenceCase& c) {
  Harness h;
  h.BuildOne("x", c.type, c.band);
  std::string got;
  for (const Variant& value : c.values)
    got += h.Feed("x", value) ? 'P' : 'D';
  return got;
}

TEST(DeadbandFilter, SingleItemSequencesPassOrDropAsTheBandSays) {
  const Variant null = Variant::Null();
  const std::vector<SequenceCase> cases = {
      {"absolute 5: first value, then exactly the band",
       Type::dbAbsolute,
       5,
       {Variant::FromInt(10), Variant::FromInt(12), Variant::FromInt(15), Variant::FromInt(16),
        Variant::FromInt(21)},
       "PDPDP"},
      {"absolute 0: every measured value",
       Type::dbAbsolute,
       0,
       {Variant::FromDouble(1), Variant::FromDouble(1), Variant::FromDouble(1)},
       "PPP"},
      {"absolute: values without a measure change nothing",
       Type::dbAbsolute,
       5,
       {null, Variant::FromInt(10), null, Variant(), Variant::FromInt(14), Variant::FromInt(15)},
       "DPDDDP"},
      {"absolute 1 on text: length, not content",
       Type::dbAbsolute,
       1,
       {Variant::FromText("abc"), Variant::FromText("xyz"), Variant::FromText("abcd"),
        Variant::FromText("ab"), Variant::FromText("zz")},
       "PDPPD"},
      {"absolute 1 on booleans: True 4, False 5",
       Type::dbAbsolute,
       1,
       {Variant::FromBool(true), Variant::FromBool(true), Variant::FromBool(false)},
       "PDP"},
      {"percent 10 after a reference of 0: anything passes",
       Type::dbPercent,
       10,
       {Variant::FromInt(0), Variant::FromInt(0), Variant::FromDouble(0.001), Variant::FromDouble(0.001)},
       "PPPD"},
      {"percent 10 from 200: 181 stays, 180 leaves",
       Type::dbPercent,
       10,
       {Variant::FromInt(200), Variant::FromInt(181), Variant::FromInt(180)},
       "PDP"},
      {"percent 10 with a negative reference",
       Type::dbPercent,
       10,
       {Variant::FromInt(-50), Variant::FromDouble(-45.5), Variant::FromInt(-44)},
       "PDP"},
      {"count 3: every third occurrence, value ignored",
       Type::dbCountLimit,
       3,
       {null, Variant::FromInt(1), Variant::FromText("a"), Variant(), null, null, null},
       "DDPDDPD"},
      {"count 1: every occurrence", Type::dbCountLimit, 1, {null, null, null}, "PPP"},
      {"count 0: every occurrence", Type::dbCountLimit, 0, {null, null}, "PP"},
      {"count -2: every occurrence", Type::dbCountLimit, -2, {null, null}, "PP"},
  };
  for (const SequenceCase& c : cases)
    EXPECT_EQ(Decisions(c), c.expected) << c.what;
}

// Decimal data whose steps equal the band only in decimal: binary rounding must not drop them.
TEST(DeadbandFilter, DecimalStepsEqualToTheBandPassDespiteBinaryRounding) {
  auto doubles = [](std::initializer_list<double> values) {
    std::vector<Variant> out;
    for (double v : values)
      out.push_back(Variant::FromDouble(v));
    return out;
  };
  const std::vector<SequenceCase> cases = {
      {"absolute 0.1, steps of 0.1", Type::dbAbsolute, 0.1, doubles({1.1, 1.2, 1.3, 1.4}), "PPPP"},
      {"absolute 0.01, steps of 0.01", Type::dbAbsolute, 0.01, doubles({0.07, 0.08, 0.09, 0.1, 0.11}),
       "PPPPP"},
      {"absolute 0.1, large magnitude", Type::dbAbsolute, 0.1, doubles({1000.1, 1000.2, 1000.3}), "PPP"},
      {"absolute 0.1, falling", Type::dbAbsolute, 0.1, doubles({1.4, 1.3, 1.2, 1.1}), "PPPP"},
      {"absolute 0.1, just below the band stays inside", Type::dbAbsolute, 0.1, doubles({1.1, 1.1999, 1.2}),
       "PDP"},
      {"absolute 1, a billionth below the band stays inside", Type::dbAbsolute, 1, doubles({1, 1.999999999}),
       "PD"},
      {"percent 10, steps of 10 percent", Type::dbPercent, 10, doubles({1.1, 1.21, 1.331, 1.4641}), "PPPP"},
      {"percent 10, just below", Type::dbPercent, 10, doubles({1.1, 1.2099, 1.21}), "PDP"},
  };
  for (const SequenceCase& c : cases)
    EXPECT_EQ(Decisions(c), c.expected) << c.what;
}

TEST(DeadbandFilter, TimeLimitPassesOnPresenceAtLeastBandSecondsAfterBuildOrReset) {
  Harness h;
  h.ticks.Set(10000);
  h.BuildOne("t", Type::dbTimeLimit, 2);
  h.ticks.Set(11999);
  EXPECT_FALSE(h.Feed("t", Variant::FromInt(1)));
  h.ticks.Set(12000);
  EXPECT_FALSE(h.Feed("other", Variant::FromInt(1)));            // time alone is not enough
  EXPECT_TRUE(h.Feed("t", Variant::Null()));                     // the value does not matter
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(12000));  // reset read the clock again
  h.ticks.Set(13999);
  EXPECT_FALSE(h.Feed("t", Variant::FromInt(1)));
  h.ticks.Set(14000);
  EXPECT_TRUE(h.Feed("t", Variant()));
}

TEST(DeadbandFilter, TimeLimitCountsAcrossAWrapOfTheTickCounter) {
  struct Case {
    double band;
    bool passes;
  };
  for (const Case c : {Case{5, true}, Case{5.119, true}, Case{5.121, false}, Case{6, false}}) {
    Harness h;
    h.ticks.Set(0xFFFFF000u);
    h.BuildOne("t", Type::dbTimeLimit, c.band);
    h.ticks.Set(0x00000400u);  // 0x1400 = 5120 ms later
    EXPECT_EQ(h.Feed("t", Variant::FromInt(1)), c.passes) << c.band;
  }
}

TEST(DeadbandFilter, TickCounterIsReadOncePerBlockWithDataWhenTimeLimitsAreWatched) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "t", 2, 1000);
  settings.SetSlot(2, "u", 2, 1000);
  h.Build(settings);
  const int after_build = h.ticks.Reads();
  EXPECT_EQ(after_build, 2);  // each time-limit item takes its reference
  h.Feed({{"t", Variant::FromInt(1)}, {"u", Variant::FromInt(2)}, {"t", Variant::FromInt(3)}, Marker()});
  EXPECT_EQ(h.ticks.Reads(), after_build + 1);
  h.Feed({});
  EXPECT_EQ(h.ticks.Reads(), after_build + 2);
  EXPECT_EQ(h.filter.ProcessData(nullptr, &h.rows), 0);
  EXPECT_EQ(h.ticks.Reads(), after_build + 2);
}

TEST(DeadbandFilter, TickCounterIsNotReadWithoutTimeLimitItems) {
  Harness h;
  h.BuildOne("t", Type::dbTimeLimit, 1);  // replaced below
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "x", 0, 1);
  settings.SetSlot(2, "n", 3, 1);
  settings.SetRelationshipIndex(1);
  h.Build(settings);
  EXPECT_TRUE(h.Feed({{"x", Variant::FromInt(1)}, {"n", Variant::Null()}}));  // passing resets, too
  EXPECT_FALSE(h.Feed({{"x", Variant::FromInt(1)}}));
  EXPECT_EQ(h.ticks.Reads(), 1);  // only the first build's time-limit item
}

TEST(DeadbandFilter, TimeLimitUsesOneReadingForTheWholeBlock) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "a", 2, 1);
  settings.SetSlot(2, "b", 2, 1);
  settings.SetSlot(3, "never", 2, 1);  // keeps the block from passing, so nothing resets
  h.Build(settings);
  h.ticks.Set(5000);
  h.ticks.SetStep(7);  // every reading moves the clock on
  ASSERT_FALSE(h.Feed({{"a", Variant::Null()}, {"b", Variant::Null()}, {"a", Variant::Null()}}));
  const std::vector<TDeadBandListItem> items = h.filter.Items();
  EXPECT_EQ(items[0].LastValue, DeadbandValue::Number(5000));
  EXPECT_EQ(items[1].LastValue, DeadbandValue::Number(5000));
  ASSERT_FALSE(h.Feed({{"b", Variant::Null()}}));
  EXPECT_EQ(h.Item(1).LastValue, DeadbandValue::Number(5007));  // the reference follows each block's reading
}

TEST(DeadbandFilter, OrPassesOnTheFirstItemOutAndResetsBoth) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetRelationshipIndex(1);
  settings.SetSlot(1, "a", 0, 5);
  settings.SetSlot(2, "b", 3, 3);
  h.Build(settings);
  // a's first value passes the block at once; b, after it, is copied but not counted.
  EXPECT_TRUE(h.Feed({{"a", Variant::FromInt(0)}, {"b", Variant::FromInt(0)}}));
  EXPECT_EQ(h.Item(1).LastValue, DeadbandValue::Number(0));
  EXPECT_FALSE(h.Feed({{"a", Variant::FromInt(1)}, {"b", Variant::FromInt(0)}}));
  EXPECT_FALSE(h.Feed({{"b", Variant::FromInt(0)}}));
  EXPECT_TRUE(h.Feed({{"a", Variant::FromInt(2)}, {"b", Variant::FromInt(0)}}));  // b's third occurrence
  for (const TDeadBandListItem& item : h.filter.Items())
    EXPECT_FALSE(item.Passed) << item.VarName;
  EXPECT_EQ(h.Item(1).LastValue, DeadbandValue::Number(0));
  // a's reference is still 0: values inside the band do not move it.
  EXPECT_FALSE(h.Feed({{"a", Variant::FromInt(4)}}));
  EXPECT_TRUE(h.Feed({{"a", Variant::FromInt(5)}}));
}

TEST(DeadbandFilter, AndPassesInTheBlockWhereTheLastItemLeaves) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "a", 0, 5);
  settings.SetSlot(2, "b", 0, 5);
  h.Build(settings);
  ASSERT_FALSE(h.Feed({{"a", Variant::FromInt(0)}}));  // a's first value: out, b not yet
  ASSERT_TRUE(h.Feed({{"b", Variant::FromInt(0)}}));
  EXPECT_FALSE(h.Feed({{"a", Variant::FromInt(10)}}));  // block 1: a leaves
  EXPECT_FALSE(h.Feed({{"c", Variant::FromInt(99)}}));  // block 2: neither
  EXPECT_FALSE(h.Feed({{"a", Variant::FromInt(50)}, {"b", Variant::FromInt(4)}}));
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(50));  // a's reference follows while it waits
  EXPECT_TRUE(h.Feed({{"b", Variant::FromInt(5)}}));          // block 3: b leaves
  EXPECT_FALSE(h.Feed({{"a", Variant::FromInt(54)}, {"b", Variant::FromInt(9)}}));
}

TEST(DeadbandFilter, CountStaysWhereItPassedWhileWaitingForOthers) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "n", 3, 2);
  settings.SetSlot(2, "w", 0, 1);  // never occurs
  h.Build(settings);
  for (int i = 0; i < 5; ++i)
    EXPECT_FALSE(h.Feed({{"n", Variant::Null()}}));
  EXPECT_TRUE(h.Item(0).Passed);
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(2));
}

TEST(DeadbandFilter, FirstRowPassingTakesTheWholeBlockAndLaterRowsUpdateNothing) {
  Harness h;
  h.BuildOne("x", Type::dbAbsolute, 5);
  ASSERT_TRUE(h.Feed("x", Variant::FromInt(0)));
  EXPECT_TRUE(h.Feed({{"x", Variant::FromInt(10)},
                      {"y", Variant::FromText("r1")},
                      Marker(),
                      {"x", Variant::FromInt(100)},
                      {"y", Variant::FromText("r2")},
                      Marker()}));
  EXPECT_EQ(h.rows.Count(), 6);
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(10));
  EXPECT_FALSE(h.Feed("x", Variant::FromInt(14)));
}

TEST(DeadbandFilter, CountsEveryOccurrenceInsideOneBlock) {
  Harness h;
  h.BuildOne("x", Type::dbCountLimit, 3);
  EXPECT_TRUE(h.Feed({{"x", Variant::Null()},
                      Marker(),
                      {"x", Variant::Null()},
                      Marker(),
                      {"x", Variant::Null()},
                      {"x", Variant::Null()}}));
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(0));  // reset after the third; the fourth not seen
}

TEST(DeadbandFilter, NamesMatchIgnoringLetterCaseButNotBlanks) {
  struct Case {
    const char* block_name;
    bool passes;
  };
  for (const Case c : {Case{"temp", true}, Case{"TEMP", true}, Case{"tEmP", true}, Case{" temp", false},
                       Case{"temp ", false}, Case{"temp2", false}}) {
    Harness h;
    h.BuildOne("Temp", Type::dbAbsolute, 1);
    EXPECT_EQ(h.Feed(c.block_name, Variant::FromInt(1)), c.passes) << "'" << c.block_name << "'";
  }
}

TEST(DeadbandFilter, NamesMatchWholeAtEveryLength) {
  struct Case {
    const char* item;
    const char* block_name;
    bool passes;
  };
  const std::vector<Case> cases = {
      {"a", "a", true},
      {"a", "b", false},
      {"ab", "ab\x01", false},
      {"abcdefg", "abcdefh", false},
      {"abcdefgh", "abcdefgh", true},
      {"abcdefgh", "abcdefgi", false},
      {"abababab", "ababababab", false},  // same first and last eight bytes
      {"abcdefghijklmnop", "abcdefghijklmnop", true},
      {"abcdefghijklmnop", "abcdefghXjklmnop", false},
      {"abcdefghXijklmnop", "abcdefghYijklmnop", false},
      {"temperature_0001_room", "temperature_0001_room", true},
      {"temperature_0001_room", "temperature_0002_room", false},  // only the middle differs
      {"temperature_0001_room", "temperature_0001_roomx", false},
      {"\xC3\x84nderung", "\xC3\x84nderung", true},
  };
  for (const Case& c : cases) {
    Harness h;
    h.BuildOne(c.item, Type::dbCountLimit, 1);
    EXPECT_EQ(h.Feed(c.block_name, Variant::Null()), c.passes) << c.item << " / " << c.block_name;
  }
}

TEST(DeadbandFilter, RowMarkersAreSkippedByExactName) {
  Harness h;
  h.BuildOne("$NEW_ROW$", Type::dbCountLimit, 1);  // watches the marker's name in lower case
  EXPECT_FALSE(h.Feed({Marker(), Marker(), Marker()}));
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(0));
  EXPECT_TRUE(h.Feed({{"$new_row$", Variant::Null()}}));  // not a marker: a watched variable
  for (const char* near_marker : {"$NEW_ROWX", "$NEW_ROW$$", "$NEW_ROW"}) {
    Harness other;
    other.BuildOne(near_marker, Type::dbCountLimit, 1);
    EXPECT_TRUE(other.Feed({{near_marker, Variant::Null()}})) << near_marker;
  }
}

TEST(DeadbandFilter, BlockOfOnlyMarkersIsDropped) {
  Harness h;
  h.BuildOne("x", Type::dbAbsolute, 0);
  EXPECT_FALSE(h.Feed({Marker(), Marker()}));
  EXPECT_TRUE(h.Feed({Marker(), {"x", Variant::FromInt(1)}}));
}

TEST(DeadbandFilter, PassingCopyClosesTheRowOnlyWhenNeeded) {
  struct Case {
    std::vector<Entry> block;
    int32_t result_count;
  };
  const std::vector<Case> cases = {
      {{{"x", Variant::FromInt(1)}, Marker()}, 2},
      {{{"x", Variant::FromInt(1)}}, 2},
      {{{"x", Variant::FromInt(1)}, {"$new_row$", Variant::Null()}}, 3},
      {{{"x", Variant::FromInt(1)}, Marker(), {"y", Variant::FromInt(2)}}, 4},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Harness h;
    h.BuildOne("x", Type::dbAbsolute, 1);
    EXPECT_TRUE(h.Feed(cases[i].block)) << i;  // checks the whole copy too
    EXPECT_EQ(h.rows.Count(), cases[i].result_count) << i;
    EXPECT_TRUE(h.rows.Element(h.rows.Count() - 1)->IsRowMarker()) << i;
  }
}

TEST(DeadbandFilter, ResultRowsAreEmptiedOnEveryCall) {
  Harness h;
  h.BuildOne("x", Type::dbAbsolute, 5);
  ASSERT_TRUE(h.Feed("x", Variant::FromInt(1)));
  ASSERT_GT(h.rows.Count(), 0);
  EXPECT_FALSE(h.Feed("x", Variant::FromInt(2)));
  EXPECT_EQ(h.rows.Count(), 0);
  h.rows.Add("stale", Variant::FromInt(1));
  EXPECT_EQ(h.filter.ProcessData(nullptr, &h.rows), 0);  // no data: emptied all the same
  EXPECT_EQ(h.rows.Count(), 0);
}

TEST(DeadbandFilter, WithoutAResultListNothingIsEvaluated) {
  Harness h;
  h.BuildOne("x", Type::dbCountLimit, 2);
  TParamsList block;
  block.Add("x", Variant::Null());
  EXPECT_EQ(h.filter.ProcessData(&block, nullptr), 0);
  EXPECT_EQ(h.Item(0).LastValue, DeadbandValue::Number(0));
  EXPECT_EQ(h.filter.ProcessData(nullptr, nullptr), 0);
}

TEST(DeadbandFilter, WithoutItemsEveryBlockIsDropped) {
  Harness h;
  for (const std::vector<Entry>& block :
       {std::vector<Entry>{{"x", Variant::FromInt(1)}, Marker()}, std::vector<Entry>{}}) {
    EXPECT_FALSE(h.Feed(block));
    EXPECT_EQ(h.rows.Count(), 0);
  }
}

TEST(DeadbandFilter, UnderAndAnAbsentVariableBlocksEveryPass) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "x", 0, 0);
  settings.SetSlot(2, "missing", 3, 0);
  h.Build(settings);
  for (int i = 0; i < 3; ++i)
    EXPECT_FALSE(h.Feed("x", Variant::FromInt(i)));
}

TEST(DeadbandFilter, VariableInTwoSlotsIsEvaluatedOnlyInTheFirst) {
  struct Case {
    int32_t relationship;
    bool passes;
  };
  for (const Case c : {Case{0, false}, Case{1, true}}) {
    Harness h;
    MemoryDeadbandSettings settings;
    settings.SetRelationshipIndex(c.relationship);
    settings.SetSlot(1, "x", 3, 1);
    settings.SetSlot(2, "X", 3, 1);
    h.Build(settings);
    EXPECT_EQ(h.Feed("x", Variant::Null()), c.passes) << c.relationship;
    EXPECT_EQ(h.Item(1).LastValue, DeadbandValue::Number(0)) << c.relationship;
  }
}

// Eight items at once, with names alike in length or in their first and last bytes: each element moves
// its own item only, and a name that is none of them (of a length an item has) moves nothing.
TEST(DeadbandFilter, EveryItemOfAFullSetIsFoundByItsOwnName) {
  const std::string names[] = {"column_0", "column_2", "column_4",           "pressure",
                               "flow_out", "abcdef",   std::string(70, 'q'), "temperature_0001_room"};
  Harness h;
  MemoryDeadbandSettings settings;
  for (int n = 0; n < 8; ++n)
    settings.SetSlot(n + 1, names[n], 3, 100);  // count limits that only count
  h.Build(settings);
  for (int n = 0; n < 8; ++n) {
    EXPECT_FALSE(h.Feed(names[n], Variant::Null()));
    for (int k = 0; k < 8; ++k)
      EXPECT_EQ(h.Item(static_cast<size_t>(k)).LastValue, DeadbandValue::Number(k <= n ? 1 : 0)) << n << k;
  }
  for (const char* other : {"column_1", "abcdeg", "temperature_0002_room"})
    EXPECT_FALSE(h.Feed(other, Variant::Null())) << other;
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(h.Item(static_cast<size_t>(k)).LastValue, DeadbandValue::Number(1)) << k;
}

TEST(DeadbandFilter, RelationshipOtherThanAndOrNeverPasses) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetRelationshipIndex(2);
  settings.SetSlot(1, "x", 3, 1);
  h.Build(settings);
  EXPECT_EQ(h.filter.Relationship(), 2);
  EXPECT_FALSE(h.Feed("x", Variant::Null()));
  EXPECT_TRUE(h.Item(0).Passed);
}

TEST(DeadbandFilter, ResetKeepsTheReferenceOfAbsoluteItems) {
  Harness h;
  h.BuildOne("x", Type::dbAbsolute, 5);
  ASSERT_TRUE(h.Feed("x", Variant::FromInt(10)));
  h.filter.ResetItems();
  const TDeadBandListItem item = h.Item(0);
  EXPECT_FALSE(item.Passed);
  EXPECT_EQ(item.LastValue, DeadbandValue::Number(10));
  EXPECT_FALSE(h.Feed("x", Variant::FromInt(14)));
}

TEST(DeadbandFilter, ClearItemsDropsLaterBlocks) {
  Harness h;
  h.BuildOne("x", Type::dbAbsolute, 0);
  h.filter.ClearItems();
  EXPECT_EQ(h.filter.ItemCount(), 0u);
  EXPECT_FALSE(h.Feed("x", Variant::FromInt(1)));
}

}  // namespace
}  // namespace kvo
