// The deadband filter end to end through the exported entry points, inside this process: the instance of
// a handle is the module's TaPlugin, its items come from the settings store ("LOAD" reads an INI file or
// the registry, "SAVE-SETTINGS-NOW" and "LOAD-SETTINGS-NOW" write and reread them), and blocks travel as a
// host sends them: ProcessData with "TYPE" 32 (filter).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "platform/registry.h"
#include "plugin/plugin_registry.h"
#include "runtime/properties.h"
#include "settings/big_ini.h"
#include "support/deadband_ini.h"
#include "support/deadband_instance.h"
#include "support/module_commands.h"
#include "support/scratch_store.h"

namespace kvo {
namespace {

using testing::Out;
TParamsList* In(::TParamsList* list) {
  return reinterpret_cast<TParamsList*>(list);
}

constexpr int32_t kAbsolute = 0;
constexpr int32_t kCountLimit = 3;
constexpr int32_t kAnd = 0;
constexpr int32_t kOr = 1;

using testing::DeadbandIniText;
using testing::DeadbandSlot;

struct Settings {
  int32_t relationship;
  std::vector<DeadbandSlot> slots;
};

std::string SettingsText(const Settings& settings, std::string_view section = "Common") {
  return DeadbandIniText(settings.relationship, settings.slots, section);
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
  std::string File(const std::string& name) const { return store_.File(name); }
  std::string WriteIni(const std::string& name, const std::string& text) const {
    EXPECT_TRUE(testing::WriteTextFile(File(name), text)) << name;
    return File(name);
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string KeyPath(int32_t handle) const { return store_.KeyPath("h" + std::to_string(handle)); }

  // The instance of `handle`, which must be the module's own class.
  static TaPlugin* Instance(int32_t handle) { return testing::DeadbandInstance(handle); }

  // A command with text parameters besides "COMMAND".
  static int32_t Command(int32_t handle, const char* command,
                         const std::vector<std::pair<std::string, std::string>>& texts = {}) {
    return testing::SendCommand(handle, command, texts);
  }

  // Writes `settings` to the handle's own INI file and loads the instance from it.
  TaPlugin* Load(int32_t handle, const Settings& settings, size_t items) {
    TaPlugin* plugin = Instance(handle);
    if (!plugin) return nullptr;
    const std::string ini = WriteIni("h" + std::to_string(handle) + ".ini", SettingsText(settings));
    EXPECT_EQ(Command(handle, "LOAD", {{"INI-FILE", ini}, {"RegistryPath", KeyPath(handle)}}), 0);
    EXPECT_EQ(plugin->Filter().ItemCount(), items);
    return plugin;
  }

  // The INI files, and on POSIX the registry's root files; on Windows the keys below Software\kvo-test-e2e.
  testing::ScratchStore store_{"kvo-e2e", "kvo-test-e2e"};

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
  TaPlugin* plugin = Load(h, Settings{kAnd, {{"Temperature", kAbsolute, 5}}}, 1);
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
  ASSERT_NE(Load(h, Settings{kAnd, {{"level", kAbsolute, 1}}}, 1), nullptr);
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
  ASSERT_NE(Load(h, Settings{kOr, {{"A", kAbsolute, 1}, {"B", kAbsolute, 1}}}, 2), nullptr);
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
  ASSERT_NE(Load(h, Settings{kAnd, {{"A", kAbsolute, 1}, {"B", kAbsolute, 1}}}, 2), nullptr);
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
  ASSERT_NE(Load(narrow, Settings{kAnd, {{"x", kAbsolute, 1}}}, 1), nullptr);
  ASSERT_NE(Load(wide, Settings{kAnd, {{"x", kAbsolute, 100}}}, 1), nullptr);
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
  TaPlugin* plugin = Load(h, Settings{kAnd, {{"x", kAbsolute, 10}}}, 1);
  ASSERT_NE(plugin, nullptr);
  EXPECT_TRUE(Passes(h, *Block({{"x", Variant::FromDouble(0)}})));
  EXPECT_FALSE(Passes(h, *Block({{"x", Variant::FromDouble(3)}})));
  // Count limit 2 on y instead: the second occurrence of y passes, x no longer matters.
  const std::string ini = WriteIni("h209.ini", SettingsText(Settings{kAnd, {{"y", kCountLimit, 2}}}));
  EXPECT_EQ(Command(h, "LOAD-SETTINGS-NOW", {{"INI-FILE", ini}}), 0);
  ASSERT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_FALSE(Passes(h, *Block({{"x", Variant::FromDouble(50)}, {"y", Variant::FromText("a")}})));
  EXPECT_TRUE(Passes(h, *Block({{"y", Variant::FromText("a")}})));
  EXPECT_FALSE(Passes(h, *Block({{"y", Variant::FromText("a")}})));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, EmptyOrMissingBlockGivesNoRowsAndNoLog) {
  const int32_t h = 210;
  ASSERT_NE(Load(h, Settings{kOr, {{"x", kCountLimit, 1}}}, 1), nullptr);
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
  const std::string ini = WriteIni("h211.ini", SettingsText(Settings{kOr, {{"x", kCountLimit, 1}}}));
  const auto block = Block({{"x", Variant::FromInt(1)}});
  int32_t result = 0;
  // Before "LOAD" there is no result list to lend: no rows, whatever the call reports.
  EXPECT_EQ(Filter(h, block.get(), &result), nullptr);
  EXPECT_TRUE(result == 0 || result == -3) << result;

  ASSERT_EQ(Command(h, "LOAD", {{"INI-FILE", ini}}), 0);
  EXPECT_TRUE(Passes(h, *block));
  ASSERT_EQ(Command(h, "UNLOAD"), 0);
  EXPECT_EQ(plugin->Filter().ItemCount(), 0u);  // unloading frees the items
  EXPECT_EQ(plugin->ResultRows(), nullptr);
  EXPECT_EQ(Filter(h, block.get(), &result), nullptr);
  EXPECT_EQ(result, -1);
}

// --- the settings store through the commands ---

// The mapped keys of the settings form, as every save writes them.
std::vector<std::string> MappedKeys() {
  std::vector<std::string> keys = {"Left", "Top", "Height", "Width"};
  for (const char* kind : {"Var", "Type", "Val"}) {
    for (int n = 1; n <= 8; ++n)
      keys.push_back(kind + std::to_string(n));
  }
  keys.push_back("Relationship");
  return keys;
}

// Puts a slot into the instance's settings form as the options dialog would.
void SetSlot(TaPlugin& plugin, int n, const char* name, int32_t type, double band) {
  std::lock_guard guard(plugin);
  TfrmOption* form = plugin.SettingsForm();
  ASSERT_NE(form, nullptr);
  const std::string d = std::to_string(n);
  SetStrProp(*form->FindComponent("var" + d), "Text", name);
  SetOrdProp(*form->FindComponent("type" + d), "ItemIndex", type);
  SetFloatProp(*form->FindComponent("val" + d), "Value", band);
}

TEST_F(ModuleEndToEnd, TheRegistryKeyIsReadWhenNoIniFileIsNamed) {
  const int32_t h = 220;
  {
    platform::RegistryKey key;
    ASSERT_TRUE(
        platform::RegistryKey::Open(platform::RegistryRoot::kLocalMachine, KeyPath(h), true, &key, nullptr));
    ASSERT_TRUE(key.WriteString("Var1", "temp"));
    ASSERT_TRUE(key.WriteDword("Type1", kAbsolute));
    const double band = 5;
    ASSERT_TRUE(key.WriteBinary("Val1", &band, sizeof band));
    ASSERT_TRUE(key.WriteDword("Relationship", kAnd));
  }
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(Command(h, "LOAD", {{"RegistryPath", KeyPath(h)}}), 0);
  ASSERT_EQ(plugin->Filter().ItemCount(), 1u);
  for (const auto& [value, passes] :
       std::vector<std::pair<double, bool>>{{10, true}, {12, false}, {15, true}}) {
    EXPECT_EQ(Passes(h, *Block({{"TEMP", Variant::FromDouble(value)}})), passes) << value;
  }
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
  EXPECT_EQ(plugin->SettingsForm(), nullptr);
}

TEST_F(ModuleEndToEnd, ANamedIniFileThatDoesNotExistYetReadsTheRegistry) {
  const int32_t h = 221;
  {
    platform::RegistryKey key;
    ASSERT_TRUE(
        platform::RegistryKey::Open(platform::RegistryRoot::kLocalMachine, KeyPath(h), true, &key, nullptr));
    ASSERT_TRUE(key.WriteString("Var1", "x"));
    ASSERT_TRUE(key.WriteDword("Type1", kCountLimit));
  }
  ASSERT_NE(Instance(h), nullptr);
  ASSERT_EQ(Command(h, "LOAD", {{"INI-FILE", File("later.ini")}, {"RegistryPath", KeyPath(h)}}), 0);
  EXPECT_EQ(Instance(h)->Filter().ItemCount(), 1u);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, SaveSettingsNowWritesEveryKeyToTheNamedFileAndLeavesTheOwnStore) {
  struct Case {
    const char* prefix;
    const char* section;
  };
  const Case cases[] = {{"", "Common"}, {"P", "P.Common"}};
  int32_t h = 222;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    const std::string own = WriteIni("own" + std::to_string(h) + ".ini",
                                     SettingsText(Settings{kOr, {{"a", kAbsolute, 2.5}}}, c.section));
    const std::string before = ReadFile(own);
    ASSERT_NE(Instance(h), nullptr);
    ASSERT_EQ(Command(h, "LOAD", {{"INI-FILE", own}, {"INISectionPrefix", c.prefix}}), 0);
    ASSERT_EQ(Instance(h)->Filter().ItemCount(), 1u);

    const std::string other = File("other" + std::to_string(h) + ".ini");
    ASSERT_EQ(Command(h, "SAVE-SETTINGS-NOW", {{"INI-FILE", other}}), 0);
    EXPECT_EQ(ReadFile(own), before) << "the instance's own file is untouched";
    EXPECT_EQ(Instance(h)->INIFile(), own);
    TBigIniFile saved(other);
    std::vector<std::string> names;
    saved.ReadSection(c.section, names);
    EXPECT_EQ(names, MappedKeys());
    EXPECT_EQ(saved.ReadString(c.section, "Var1", "?"), "a");
    EXPECT_EQ(saved.ReadInteger(c.section, "Type1", -9), kAbsolute);
    EXPECT_EQ(saved.ReadFloat(c.section, "Val1", -9), 2.5);
    EXPECT_EQ(saved.ReadString(c.section, "Var2", "?"), "");
    EXPECT_EQ(saved.ReadInteger(c.section, "Type2", -9), -1);
    EXPECT_EQ(saved.ReadInteger(c.section, "Relationship", -9), kOr);
    EXPECT_EQ(Command(h, "UNLOAD"), 0);
    ++h;
  }
}

TEST_F(ModuleEndToEnd, LoadSettingsNowTakesTheNamedFileAndStoresItInTheOwnPlace) {
  const int32_t h = 224;
  TaPlugin* plugin = Load(h, Settings{kAnd, {{"x", kAbsolute, 10}}}, 1);
  ASSERT_NE(plugin, nullptr);
  const std::string own = File("h224.ini");
  const std::string other =
      WriteIni("import.ini", SettingsText(Settings{kOr, {{"y", kAbsolute, 1}, {"z", kAbsolute, 1}}}));
  ASSERT_EQ(Command(h, "LOAD-SETTINGS-NOW", {{"INI-FILE", other}}), 0);
  EXPECT_EQ(plugin->Filter().ItemCount(), 2u);
  EXPECT_EQ(plugin->INIFile(), own);
  TBigIniFile stored(own);
  EXPECT_EQ(stored.ReadString("Common", "Var1", "?"), "y");
  EXPECT_EQ(stored.ReadString("Common", "Var2", "?"), "z");
  EXPECT_EQ(stored.ReadInteger("Common", "Relationship", -9), kOr);
  // The rebuilt items start afresh: y's first value passes at once.
  EXPECT_TRUE(Passes(h, *Block({{"y", Variant::FromDouble(0)}})));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleEndToEnd, InstancesSharingARegistryPathSeeEachOthersSavedSettingsAfterAReload) {
  const int32_t first = 225;
  const int32_t second = 226;
  const std::string path = KeyPath(first);
  TaPlugin* a = Instance(first);
  TaPlugin* b = Instance(second);
  ASSERT_TRUE(a && b);
  ASSERT_EQ(Command(first, "LOAD", {{"RegistryPath", path}}), 0);
  ASSERT_EQ(Command(second, "LOAD", {{"RegistryPath", path}}), 0);
  EXPECT_EQ(b->Filter().ItemCount(), 0u);

  SetSlot(*a, 1, "shared", kAbsolute, 3);
  ASSERT_EQ(Command(first, "SAVE-SETTINGS-NOW"), 0);
  EXPECT_EQ(b->Filter().ItemCount(), 0u) << "a save does not reach the other instance by itself";
  ASSERT_EQ(Command(second, "LOAD-SETTINGS-NOW"), 0);
  ASSERT_EQ(b->Filter().ItemCount(), 1u);
  EXPECT_TRUE(Passes(second, *Block({{"shared", Variant::FromDouble(0)}})));
  EXPECT_FALSE(Passes(second, *Block({{"shared", Variant::FromDouble(2.5)}})));
  EXPECT_TRUE(Passes(second, *Block({{"shared", Variant::FromDouble(3)}})));
  EXPECT_EQ(Command(first, "UNLOAD"), 0);
  EXPECT_EQ(Command(second, "UNLOAD"), 0);
}

#if !defined(_WIN32)
// A registry path is a key name, never a file-system path: "..", "/" and NUL stay names inside the
// root's file, and settings saved under such a key read back from there.
TEST_F(ModuleEndToEnd, RegistryPathsWithDotsSlashesAndNulStayInsideTheRootFile) {
  const int32_t h = 228;
  const std::string path = KeyPath(h) + "\\..\\..\\..\\..\\up/../../x\\" + std::string("n\0ul", 4);
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(Command(h, "LOAD", {{"RegistryPath", path}}), 0);
  SetSlot(*plugin, 1, "kept", kAbsolute, 2);
  ASSERT_EQ(Command(h, "SAVE-SETTINGS-NOW"), 0);
  SetSlot(*plugin, 1, "changed", kAbsolute, 9);
  ASSERT_EQ(Command(h, "LOAD-SETTINGS-NOW"), 0);
  ASSERT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_TRUE(Passes(h, *Block({{"kept", Variant::FromDouble(0)}})));
  EXPECT_FALSE(Passes(h, *Block({{"kept", Variant::FromDouble(1)}})));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);

  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(store_.Path())) {
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(store_.Path()).string());
  }
  for (const std::string& file : files) {
    EXPECT_TRUE(file.rfind("registry/HKEY_", 0) == 0 && (file.ends_with(".reg") || file.ends_with(".lock")) &&
                file.find('/', 9) == std::string::npos)
        << file;
  }
  std::string root_file;
  ASSERT_TRUE(platform::RegistryRootFile(platform::RegistryRoot::kLocalMachine, &root_file, nullptr));
  EXPECT_NE(ReadFile(root_file).find("\\up/../../x\\n"), std::string::npos);
}
#endif

TEST_F(ModuleEndToEnd, SavingDoesNotTouchTheItems) {
  const int32_t h = 227;
  TaPlugin* plugin = Load(h, Settings{kAnd, {{"x", kAbsolute, 1}}}, 1);
  ASSERT_NE(plugin, nullptr);
  EXPECT_TRUE(Passes(h, *Block({{"x", Variant::FromDouble(0)}})));
  SetSlot(*plugin, 2, "y", kAbsolute, 1);
  // Without "INI-FILE" a save goes to the registry key, so the host names the file again.
  ASSERT_EQ(Command(h, "SAVE-SETTINGS-NOW", {{"INI-FILE", File("h227.ini")}}), 0);
  EXPECT_EQ(plugin->Filter().ItemCount(), 1u);
  // x keeps its reference: a rebuilt item would pass its next value whatever it is.
  EXPECT_FALSE(Passes(h, *Block({{"x", Variant::FromDouble(0.5)}})));
  EXPECT_EQ(TBigIniFile(File("h227.ini")).ReadString("Common", "Var2", "?"), "y");
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

}  // namespace
}  // namespace kvo
