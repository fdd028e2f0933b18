// How the deadband items are built from the eight setting slots and the relationship.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "deadband/deadband_filter.h"
#include "deadband/deadband_settings.h"
#include "deadband_test_support.h"

namespace kvo {
namespace {

using testing::Harness;

TEST(BuildItems, NameIsTrimmedAndLowerCasedAndTypeIsTheIndex) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(3, " \tTank_Level \r\n", 1, 12.5);
  h.Build(settings);
  ASSERT_EQ(h.filter.ItemCount(), 1u);
  const TDeadBandListItem item = h.Item(0);
  EXPECT_EQ(item.VarName, "tank_level");
  EXPECT_EQ(item.BandType, TDeadBandType::dbPercent);
  EXPECT_EQ(item.Band, 12.5);
  EXPECT_FALSE(item.Passed);
  EXPECT_TRUE(item.LastValue.IsNull());
  EXPECT_EQ(item.Owner, &h.filter);
}

TEST(BuildItems, AllSlotsBlankGiveNoItemsAndEveryBlockIsDropped) {
  Harness h;
  MemoryDeadbandSettings settings;
  for (int n = 1; n <= kDeadbandSlotCount; ++n)
    settings.SetSlot(n, n % 2 ? "" : " \t ", 0, 1);
  h.Build(settings);
  EXPECT_EQ(h.filter.ItemCount(), 0u);
  EXPECT_FALSE(h.Feed("x", Variant::FromInt(1)));
}

TEST(BuildItems, ItemsFollowSlotOrderSkippingBlankSlots) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(5, "five", 3, 2);
  settings.SetSlot(1, "one", 2, 1);
  h.Build(settings);
  const std::vector<TDeadBandListItem> items = h.filter.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].VarName, "one");
  EXPECT_EQ(items[0].LastValue, DeadbandValue::Number(1000));  // time reference: the clock at build
  EXPECT_EQ(items[1].VarName, "five");
  EXPECT_EQ(items[1].LastValue, DeadbandValue::Number(0));  // count 0
}

TEST(BuildItems, RelationshipIndexSelectsAndOrOr) {
  struct Case {
    int32_t index;
    uint8_t relationship;
  };
  for (const Case c : {Case{1, 1}, Case{0, 0}, Case{-1, 0}, Case{-7, 0}}) {
    Harness h;
    MemoryDeadbandSettings settings;
    settings.SetRelationshipIndex(c.index);
    h.Build(settings);
    EXPECT_EQ(h.filter.Relationship(), c.relationship) << c.index;
  }
}

TEST(BuildItems, SlotRulesDecideWhetherAnItemIsMade) {
  struct Case {
    const char* what;
    std::function<void(SlotValues&)> change;
    bool made;
    double band;
  };
  const std::vector<Case> cases = {
      {"complete slot", [](SlotValues&) {}, true, 4},
      {"no variable named", [](SlotValues& s) { s.names_variable = false; }, false, 0},
      {"name of control characters", [](SlotValues& s) { s.var_text = "\x01\x1f "; }, false, 0},
      {"no type chosen", [](SlotValues& s) { s.selects_type = false; }, false, 0},
      {"no type selected", [](SlotValues& s) { s.type_index = -1; }, false, 0},
      {"type past the last", [](SlotValues& s) { s.type_index = 4; }, false, 0},
      {"last type", [](SlotValues& s) { s.type_index = 3; }, true, 4},
      {"no band control", [](SlotValues& s) { s.val_exists = false; }, false, 0},
      {"band 0", [](SlotValues& s) { s.val_number = 0; }, true, 0},
      {"negative band", [](SlotValues& s) { s.val_number = -3; }, true, -3},
      {"band as text",
       [](SlotValues& s) {
         s.val_is_text = true;
         s.val_text = " 2.5 ";
       },
       true, 2.5},
      {"band text not a number",
       [](SlotValues& s) {
         s.val_is_text = true;
         s.val_text = "abc";
       },
       true, 0},
  };
  for (const Case& c : cases) {
    Harness h;
    MemoryDeadbandSettings settings;
    settings.SetSlot(1, "x", 0, 4);
    c.change(settings.MutableSlot(1));
    h.Build(settings);
    ASSERT_EQ(h.filter.ItemCount(), c.made ? 1u : 0u) << c.what;
    if (c.made) {
      EXPECT_EQ(h.Item(0).Band, c.band) << c.what;
    }
  }
}

TEST(BuildItems, BandTextReadsAsNumberOrZero) {
  struct Case {
    const char* text;
    double band;
  };
  const std::vector<Case> cases = {
      {"1.5", 1.5}, {" -2 ", -2}, {"+3", 3},  {"1e2", 100}, {"", 0},  {"abc", 0},   {"1,5", 0},
      {"2x", 0},    {"inf", 0},   {"nan", 0}, {"+-1", 0},   {"+", 0}, {"1e999", 0}, {"\t7\n", 7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BandFromText(c.text), c.band) << "'" << c.text << "'";
}

TEST(BuildItems, RebuildStartsEveryItemAfresh) {
  Harness h;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "a", 0, 100);
  settings.SetSlot(2, "p", 1, 1000);
  settings.SetRelationshipIndex(1);
  h.Build(settings);
  ASSERT_TRUE(h.Feed("a", Variant::FromInt(1)));
  ASSERT_TRUE(h.Feed("p", Variant::FromInt(1)));
  EXPECT_FALSE(h.Feed({{"a", Variant::FromInt(2)}, {"p", Variant::FromInt(2)}}));
  h.Build(settings);  // as after reloading the settings
  EXPECT_TRUE(h.Feed("a", Variant::FromInt(2)));
  EXPECT_TRUE(h.Feed("p", Variant::FromInt(2)));
}

TEST(BuildItems, ReplacesTheItemsAndRelationshipOfAnEarlierBuild) {
  Harness h;
  MemoryDeadbandSettings first;
  first.SetRelationshipIndex(1);
  for (int n = 1; n <= kDeadbandSlotCount; ++n)
    first.SetSlot(n, "v" + std::to_string(n), 0, 1);
  h.Build(first);
  ASSERT_EQ(h.filter.ItemCount(), 8u);
  MemoryDeadbandSettings second;
  second.SetSlot(2, "w", 3, 1);
  h.Build(second);
  EXPECT_EQ(h.filter.ItemCount(), 1u);
  EXPECT_EQ(h.filter.Relationship(), 0);
  EXPECT_EQ(h.Item(0).VarName, "w");
}

}  // namespace
}  // namespace kvo
