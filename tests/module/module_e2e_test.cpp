// The deadband filter end to end through the exported entry points, inside this process: the instance of
// a handle is the module's TaPlugin, its items come from settings held in memory through "LOAD" (or
// "LOAD-SETTINGS-NOW"), and blocks travel as a host sends them: ProcessData with "TYPE" 32 (filter).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "deadband/deadband_settings.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"

namespace kvo {
namespace {

::TParamsList* Out(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}
TParamsList* In(::TParamsList* list) {
  return reinterpret_cast<TParamsList*>(list);
}

constexpr int32_t kAbsolute = 0;
constexpr int32_t kCountLimit = 3;
constexpr int32_t kAnd = 0;
constexpr int32_t kOr = 1;

struct Slot {
  const char* name;
  int32_t type;
  double band;
};

std::unique_ptr<MemoryDeadbandSettings> Settings(int32_t relationship, const std::vector<Slot>& slots) {
  auto settings = std::make_unique<MemoryDeadbandSettings>();
  settings->SetRelationshipIndex(relationship);
  int n = 1;
  for (const Slot& slot : slots)
    settings->SetSlot(n++, slot.name, slot.type, slot.band);
  return settings;
}

using Entry = std::pair<std::string, Variant>;

// A block as a host sends it: a row list with the entries, not closed unless asked.
std::unique_ptr<TParamsList> Block(const std::vector<Entry>& entries, bool closed = false) {
  auto block = std::make_unique<TRowsParamsList>();
  for (const Entry& entry : entries) {
    if (entry.first == kNewRowMarker) {
      block->NewRow();
    } else {
      block->Add(entry.first, entry.second);
    }
  }
  if (closed) block->NewRow();
  return block;
}

Entry Row() {
  return {std::string(kNewRowMarker), Variant::Null()};
}

// The result rows hold a copy of every element of the block in order, then the closing marker when the
// block does not end with one, and nothing else.
::testing::AssertionResult IsBlockCopy(const TParamsList* rows, const TParamsList& block) {
  if (rows == nullptr) return ::testing::AssertionFailure() << "no result rows";
  const bool closed = block.Count() > 0 && block.Element(block.Count() - 1)->IsRowMarker();
  const int32_t expected = block.Count() + (closed ? 0 : 1);
  if (rows->Count() != expected) {
    return ::testing::AssertionFailure() << rows->Count() << " result elements, expected " << expected;
  }
  for (int32_t i = 0; i < block.Count(); ++i) {
    const TParamsListElement* got = rows->Element(i);
    const TParamsListElement* want = block.Element(i);
    if (got == want) return ::testing::AssertionFailure() << "element " << i << " is shared, not copied";
    if (got->Name() != want->Name()) {
      return ::testing::AssertionFailure()
             << "element " << i << " is " << got->Name() << ", expected " << want->Name();
    }
    const Variant& a = got->Value();
    const Variant& b = want->Value();
    if (a.type() != b.type() || (!IsMissing(a) && a.ToText() != b.ToText())) {
      return ::testing::AssertionFailure()
             << "element " << i << " (" << want->Name() << ") has another value";
    }
  }
  if (!rows->Element(expected - 1)->IsRowMarker()) {
    return ::testing::AssertionFailure() << "the rows are not closed by " << kNewRowMarker;
  }
  return ::testing::AssertionSuccess();
}

class ModuleEndToEnd : public ::testing::Test {
 public:
  static void SetUpTestSuite() { RegisterDeadbandPlugin(); }

 protected:
  // The instance of `handle`, which must be the module's own class.
  static TaPlugin* Instance(int32_t handle) {
    TkvoPlugin* instance = nullptr;
    TParamsList parameters;
    EXPECT_TRUE(GetPluginInstance(handle, &parameters, &instance));
    if (!instance) return nullptr;
    EXPECT_TRUE(instance->InheritsFrom(TaPlugin::StaticClass)) << instance->ClassName();
    return instance->InheritsFrom(TaPlugin::StaticClass) ? static_cast<TaPlugin*>(instance) : nullptr;
  }

  static int32_t Command(int32_t handle, const char* command) {
    TParamsList parameters;
    parameters.Add("COMMAND", Variant::FromText(command));
    return ::ExecutePluginCommand(handle, Out(&parameters));
  }

  // Gives the handle's instance its settings and loads it; the items are built by "LOAD".
  static TaPlugin* Load(int32_t handle, std::unique_ptr<MemoryDeadbandSettings> settings, size_t items) {
    TaPlugin* plugin = Instance(handle);
    if (!plugin) return nullptr;
    plugin->SetSettingsSource(std::move(settings));
    EXPECT_EQ(Command(handle, "LOAD"), 0);
    EXPECT_EQ(plugin->Filter().ItemCount(), items);
    return plugin;
  }

  // ProcessData as the host calls it in the filter role; returns the lent result rows, or null.
  static TParamsList* Filter(int32_t handle, TParamsList* block, int32_t* result = nullptr,
                             int32_t type = 32) {
    TParamsList parameters;
    parameters.Add("TYPE", Variant::FromInt(type));
    void* data = block;
    ::TParamsList* rows = reinterpret_cast<::TParamsList*>(uintptr_t{1});  // must be overwritten
    const int32_t r = ::ProcessData(handle, 9, Out(&parameters), &data, &rows);
    if (result) {
      *result = r;
    } else {
      EXPECT_EQ(r, 0);
    }
    if (r == -1) {
      // Refused at the door: the host's variables are left alone.
      EXPECT_EQ(data, block);
      EXPECT_EQ(rows, reinterpret_cast<::TParamsList*>(uintptr_t{1}));
      return nullptr;
    }
    EXPECT_EQ(data, nullptr);  // the framework clears the host's Data variable
    return In(rows);
  }

  // Feeds one block and says whether it passed; a passed block must come back whole.
  static bool Passes(int32_t handle, const TParamsList& block) {
    const int32_t count = block.Count();
    TParamsList* rows = Filter(handle, const_cast<TParamsList*>(&block));
    EXPECT_EQ(block.Count(), count) << "the filter role must not change the host's block";
    if (rows == nullptr) return false;
    EXPECT_TRUE(IsBlockCopy(rows, block));
    return true;
  }
};

TEST_F(ModuleEndToEnd, InstanceOfAHandleIsTheDeadbandPlugin) {
  TaPlugin* plugin = Instance(201);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(::GetModuleType(201), 32);
  EXPECT_STREQ(::GetModuleDescription(201), "Deadband");
  EXPECT_EQ(Instance(201), plugin);  // one instance per handle
  EXPECT_NE(Instance(202), plugin);
}

TEST_F(ModuleEndToEnd, AbsoluteBandOfFivePassesTenFifteenTwentyOne) {
  const int32_t h = 203;
  TaPlugin* plugin = Load(h, Settings(kAnd, {{"Temperature", kAbsolute, 5}}), 1);
  ASSERT_NE(plugin, nullptr);
  const std::vector<std::pair<double, bool>> sequence = {
      {10, true}, {12, false}, {15, true}, {16, false}, {21, true}};
  for (const auto& [value, passes] : sequence) {
    const auto block = Block({{"Temperature", Variant::FromDouble(value)}, {"Unit", Variant::FromText("C")}});
    TParamsList* rows = Filter(h, block.get());
    if (passes) {
      ASSERT_NE(rows, nullptr) << value << " must pass";
      EXPECT_EQ(rows, plugin->ResultRows()) << "the rows lent are the instance's result rows";
      EXPECT_TRUE(IsBlockCopy(rows, *block)) << value;
      ASSERT_EQ(rows->Count(), 3);
      EXPECT_EQ(rows->Element(0)->Value().ToDouble(), value);
      EXPECT_EQ(rows->Element(1)->Value().ToText(), "C");
      EXPECT_EQ(rows->Element(2)->Name(), kNewRowMarker);
    } else {
      EXPECT_EQ(rows, nullptr) << value << " must be dropped";
      EXPECT_EQ(plugin->ResultRows()->Count(), 0) << "a dropped block leaves no rows behind";
    }
    EXPECT_EQ(block->Count(), 2) << "the host's block is not closed in the filter role";
  }
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, ClosedBlockGetsNoSecondMarkerAndLaterRowsAreCopied) {
  const int32_t h = 204;
  ASSERT_NE(Load(h, Settings(kAnd, {{"level", kAbsolute, 1}}), 1), nullptr);
  // The first row lets the block pass; the second row comes along whole, unevaluated.
  const auto block = Block({{"LEVEL", Variant::FromInt(3)},
                            {"site", Variant::FromText("north")},
                            Row(),
                            {"level", Variant::FromInt(50)},
                            {"site", Variant::FromText("south")}},
                           /*closed=*/true);
  TParamsList* rows = Filter(h, block.get());
  ASSERT_TRUE(IsBlockCopy(rows, *block));
  EXPECT_EQ(rows->Count(), block->Count());
  // Had the second row been evaluated, the reference would be 50 and 49 would be dropped; it is 3.
  EXPECT_FALSE(Passes(h, *Block({{"level", Variant::FromInt(3)}})));
  EXPECT_TRUE(Passes(h, *Block({{"level", Variant::FromInt(4)}})));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, EitherItemLeavingItsBandPassesUnderOr) {
  const int32_t h = 205;
  ASSERT_NE(Load(h, Settings(kOr, {{"A", kAbsolute, 1}, {"B", kAbsolute, 1}}), 2), nullptr);
  auto ab = [](double a, double b) {
    return Block({{"A", Variant::FromDouble(a)}, {"B", Variant::FromDouble(b)}});
  };
  EXPECT_TRUE(Passes(h, *ab(0, 0)));  // A's first value passes; B, after it, is not evaluated
  EXPECT_TRUE(Passes(h, *Block({{"B", Variant::FromDouble(0)}})));  // so B's first value comes now
  EXPECT_FALSE(Passes(h, *ab(0.5, 0.5)));                           // both inside
  EXPECT_TRUE(Passes(h, *ab(0.5, 1.0)));   // B alone leaves: enough under OR; both are re-armed
  EXPECT_TRUE(Passes(h, *ab(1.2, 1.0)));   // A measured from 0, its last value outside the band
  EXPECT_FALSE(Passes(h, *ab(1.7, 1.5)));  // both 0.5 from their references
  EXPECT_FALSE(Passes(h, *Block({{"C", Variant::FromDouble(99)}})));  // no watched variable
  EXPECT_TRUE(Passes(h, *Block({{"b", Variant::FromDouble(2.0)}})));  // names match regardless of case
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, EveryItemMustLeaveItsBandUnderAndAcrossBlocks) {
  const int32_t h = 206;
  ASSERT_NE(Load(h, Settings(kAnd, {{"A", kAbsolute, 1}, {"B", kAbsolute, 1}}), 2), nullptr);
  EXPECT_TRUE(Passes(h, *Block({{"A", Variant::FromDouble(0)}, {"B", Variant::FromDouble(0)}})));
  EXPECT_FALSE(Passes(h, *Block({{"A", Variant::FromDouble(2)}})));    // A leaves; B has not
  EXPECT_FALSE(Passes(h, *Block({{"C", Variant::FromDouble(100)}})));  // neither occurs
  EXPECT_FALSE(Passes(h, *Block({{"A", Variant::FromDouble(2.5)}, {"B", Variant::FromDouble(0.5)}})));
  EXPECT_TRUE(Passes(h, *Block({{"B", Variant::FromDouble(1.0)}})));  // B leaves last: the block passes
  // While A waited its reference followed it to 2.5: 3.0 is inside, 3.5 outside.
  EXPECT_FALSE(Passes(h, *Block({{"A", Variant::FromDouble(3.0)}, {"B", Variant::FromDouble(2.0)}})));
  EXPECT_TRUE(Passes(h, *Block({{"A", Variant::FromDouble(3.5)}, {"B", Variant::FromDouble(2.0)}})));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, HandlesFilterWithTheirOwnSettings) {
  const int32_t narrow = 207;
  const int32_t wide = 208;
  ASSERT_NE(Load(narrow, Settings(kAnd, {{"x", kAbsolute, 1}}), 1), nullptr);
  ASSERT_NE(Load(wide, Settings(kAnd, {{"x", kAbsolute, 100}}), 1), nullptr);
  for (double x : {0.0, 2.0, 4.0}) {
    const auto block = Block({{"x", Variant::FromDouble(x)}});
    EXPECT_TRUE(Passes(narrow, *block)) << x;
    EXPECT_EQ(Passes(wide, *block), x == 0.0) << x;
  }
  EXPECT_EQ(Command(narrow, "UNLOAD"), 0);
  EXPECT_EQ(Command(wide, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, NewSettingsAreTakenByLoadSettingsNow) {
  const int32_t h = 209;
  TaPlugin* plugin = Load(h, Settings(kAnd, {{"x", kAbsolute, 10}}), 1);
  ASSERT_NE(plugin, nullptr);
  EXPECT_TRUE(Passes(h, *Block({{"x", Variant::FromDouble(0)}})));
  EXPECT_FALSE(Passes(h, *Block({{"x", Variant::FromDouble(3)}})));
  // Count limit 2 on y instead: the second occurrence of y passes, x no longer matters.
  plugin->SetSettingsSource(Settings(kAnd, {{"y", kCountLimit, 2}}));
  EXPECT_EQ(Command(h, "LOAD-SETTINGS-NOW"), 0);
  ASSERT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_FALSE(Passes(h, *Block({{"x", Variant::FromDouble(50)}, {"y", Variant::FromText("a")}})));
  EXPECT_TRUE(Passes(h, *Block({{"y", Variant::FromText("a")}})));
  EXPECT_FALSE(Passes(h, *Block({{"y", Variant::FromText("a")}})));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, EmptyOrMissingBlockGivesNoRowsAndNoLog) {
  const int32_t h = 210;
  ASSERT_NE(Load(h, Settings(kOr, {{"x", kCountLimit, 1}}), 1), nullptr);
  ASSERT_TRUE(Passes(h, *Block({{"x", Variant::FromInt(1)}})));
  const auto empty = Block({});
  EXPECT_EQ(Filter(h, empty.get()), nullptr);  // the earlier rows are gone too
  EXPECT_EQ(Filter(h, nullptr), nullptr);
  EXPECT_FALSE(Passes(h, *Block({}, /*closed=*/true)));  // only a row marker
  char buffer[64];
  int32_t needed = -1;
  EXPECT_EQ(::GetLogEx(h, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, NoRowsBeforeLoadAndNoDataAfterUnload) {
  const int32_t h = 211;
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  plugin->SetSettingsSource(Settings(kOr, {{"x", kCountLimit, 1}}));
  const auto block = Block({{"x", Variant::FromInt(1)}});
  int32_t result = 0;
  // Before "LOAD" there is no result list to lend: no rows, whatever the call reports.
  EXPECT_EQ(Filter(h, block.get(), &result), nullptr);
  EXPECT_TRUE(result == 0 || result == -3) << result;

  ASSERT_EQ(Command(h, "LOAD"), 0);
  EXPECT_TRUE(Passes(h, *block));
  ASSERT_EQ(Command(h, "UNLOAD"), 0);
  EXPECT_EQ(plugin->Filter().ItemCount(), 0u);  // unloading frees the items
  EXPECT_EQ(plugin->ResultRows(), nullptr);
  EXPECT_EQ(Filter(h, block.get(), &result), nullptr);
  EXPECT_EQ(result, -1);
}

}  // namespace
}  // namespace kvo
