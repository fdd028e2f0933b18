// The size limits, each once at full size: a 100 MB INI file, a block of 1,000,000 elements, a 1 MB
// variable name, a language file of 100,000 blocks and a 10 MB item list text. Each must come through
// whole and right; how the costs grow with the size is shown by the limits benchmark.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "language/wtransl.h"
#include "limits/limits_inputs.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"
#include "settings/big_ini.h"
#include "support/deadband_ini.h"
#include "support/deadband_instance.h"
#include "support/module_commands.h"
#include "support/scratch_store.h"

namespace kvo {
namespace {

using testing::Out;

class SizeLimits : public ::testing::Test {
 public:
  static void SetUpTestSuite() { RegisterDeadbandPlugin(); }

 protected:
  static int32_t Command(int32_t handle, const char* command, TParamsList& parameters) {
    parameters.SetValueByName("COMMAND", Variant::FromText(command), true);
    return ::ExecutePluginCommand(handle, Out(&parameters));
  }
  static int32_t SetItems(int32_t handle, const std::string& text) {
    TParamsList parameters;
    parameters.Add("ITEMS", Variant::FromText(text));
    return Command(handle, "SET ITEMS", parameters);
  }
  static std::string ItemsText(int32_t handle) {
    TParamsList parameters;
    parameters.Add("RESULT", Variant::FromInt(0));
    EXPECT_EQ(Command(handle, "ITEMS", parameters), 0);
    return parameters.ValueByName("RESULT").ToText();
  }
  // The instance of `handle`, loaded from an INI file with the given settings.
  TaPlugin* Load(int32_t handle, int32_t relationship, const std::vector<testing::DeadbandSlot>& slots) {
    TaPlugin* instance = testing::DeadbandInstance(handle);
    if (!instance) return nullptr;
    const std::string ini = store_.File(std::string("h") + std::to_string(handle) + ".ini");
    EXPECT_TRUE(testing::WriteTextFile(ini, testing::DeadbandIniText(relationship, slots)));
    TParamsList parameters;
    parameters.Add("INI-FILE", Variant::FromText(ini));
    parameters.Add("RegistryPath",
                   Variant::FromText(store_.KeyPath(std::string("h") + std::to_string(handle))));
    EXPECT_EQ(Command(handle, "LOAD", parameters), 0);
    return instance;
  }
  // ProcessData in the filter role; the lent result rows, or null when the block was dropped.
  static const TParamsList* Filter(int32_t handle, TParamsList& block) {
    TParamsList parameters;
    parameters.Add("TYPE", Variant::FromInt(32));
    void* data = &block;
    ::TParamsList* rows = nullptr;
    EXPECT_EQ(::ProcessData(handle, 0, Out(&parameters), &data, &rows), 0);
    return reinterpret_cast<const TParamsList*>(rows);
  }

  testing::ScratchStore store_{"kvo-limits", "kvo-test-limits"};
};

TEST_F(SizeLimits, HundredMegabyteIniFileKeepsEveryKeyThroughAChangeAndASave) {
  const std::string path = store_.File("big.ini");
  const int64_t sections = limits::WriteIniFile(path, limits::kIniBytes);
  ASSERT_GT(sections, 0);
  const uintmax_t size = std::filesystem::file_size(path);
  ASSERT_GE(size, limits::kIniBytes);
  const int64_t last = sections - 1;
  const std::string changed = "changed";
  {
    TBigIniFile ini(path);
    ASSERT_EQ(ini.Sections().Count(), sections);
    EXPECT_EQ(ini.ReadString(limits::IniSectionName(0), limits::IniKeyName(0), "-"), limits::IniValue(0, 0));
    EXPECT_EQ(ini.ReadString(limits::IniSectionName(sections / 2), limits::IniKeyName(50), "-"),
              limits::IniValue(sections / 2, 50));
    EXPECT_EQ(ini.ReadString(limits::IniSectionName(last), limits::IniKeyName(99), "-"),
              limits::IniValue(last, 99));
    ini.WriteString(limits::IniSectionName(last), limits::IniKeyName(99), changed);
    ASSERT_TRUE(ini.Modified());
    ini.UpdateFile();
  }
  // The file is written as it was read, one value shorter.
  EXPECT_EQ(std::filesystem::file_size(path), size - limits::IniValue(last, 99).size() + changed.size());
  TBigIniFile again(path);
  ASSERT_EQ(again.Sections().Count(), sections);
  EXPECT_EQ(again.ReadString(limits::IniSectionName(last), limits::IniKeyName(99), "-"), changed);
  EXPECT_EQ(again.ReadString(limits::IniSectionName(last), limits::IniKeyName(98), "-"),
            limits::IniValue(last, 98));
  EXPECT_EQ(again.ReadString(limits::IniSectionName(sections / 3), limits::IniKeyName(7), "-"),
            limits::IniValue(sections / 3, 7));
}

// "Column_0" leaves its deadband at its first value, "Trigger" only at the block's second-last element:
// under AND the block passes there, after every element was looked at, and comes back whole. The same
// block again leaves every item inside its band and is dropped.
TEST_F(SizeLimits, MillionElementBlockIsFilteredAndCopiedWhole) {
  constexpr int32_t kHandle = 9101;
  TaPlugin* plugin = Load(kHandle, 0, {{"Column_0", 0, 1e9}, {"Trigger", 0, 1e9}});
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(plugin->Filter().ItemCount(), 2u);
  const std::unique_ptr<TParamsList> block = limits::MakeBlock(limits::kBlockElements);
  ASSERT_EQ(block->Count(), limits::kBlockElements);

  const TParamsList* rows = Filter(kHandle, *block);
  ASSERT_NE(rows, nullptr) << "the block did not pass";
  ASSERT_EQ(rows->Count(), limits::kBlockElements);
  int32_t mismatches = 0;
  for (int32_t i = 0; i < limits::kBlockElements; ++i) {
    const TParamsListElement* got = rows->Element(i);
    const TParamsListElement* want = block->Element(i);
    if (got == want || got->Name() != want->Name() || got->Value().type() != want->Value().type() ||
        (!want->IsRowMarker() && got->Value().ToDouble() != want->Value().ToDouble())) {
      ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(rows->Element(limits::kBlockElements - 2)->Name(), "Trigger");

  EXPECT_EQ(Filter(kHandle, *block), nullptr) << "an unchanged block passed";
}

// One name of 1 MB: announced with "SET ITEMS" and read back, stored as a watched variable in the
// settings, and told apart from a name of the same length, head and tail in a block.
TEST_F(SizeLimits, MegabyteVariableNameIsAnnouncedWatchedAndMatched) {
  constexpr int32_t kHandle = 9102;
  const std::string name = limits::LongName(limits::kNameBytes);
  ASSERT_EQ(SetItems(kHandle, "1|" + name + "|Float|"), 0);
  EXPECT_TRUE(ItemsText(kHandle) == "1|" + name + "|Float|");  // not printed when it fails: 1 MB

  TaPlugin* plugin = Load(kHandle, 1, {{name, 0, 0.5}});
  ASSERT_NE(plugin, nullptr);
  const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_TRUE(items[0].VarName == name)
      << "the watched name came back " << items[0].VarName.size() << " bytes long";
  // Written back to the settings file, whole.
  const std::string ini = store_.File("saved.ini");
  TParamsList save;
  save.Add("INI-FILE", Variant::FromText(ini));
  ASSERT_EQ(Command(kHandle, "SAVE-SETTINGS-NOW", save), 0);
  EXPECT_TRUE(TBigIniFile(ini).ReadString("Common", "Var1", "") == name);

  std::string other = name;
  other[other.size() / 2] = other[other.size() / 2] == 'z' ? 'a' : 'z';
  const auto block_of = [](const std::string& variable, double value) {
    auto block = std::make_unique<TRowsParamsList>();
    block->Add("Before", Variant::FromDouble(0));
    block->Add(variable, Variant::FromDouble(value));
    block->NewRow();
    return block;
  };
  struct Case {
    bool same_name;
    double value;
    bool passes;
  };
  const Case cases[] = {
      {true, 1.0, true},      // the first value leaves the band
      {true, 1.2, false},     // inside the band
      {false, 100.0, false},  // another variable
      {true, 2.0, true},      // out of the band
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto block = block_of(cases[i].same_name ? name : other, cases[i].value);
    const TParamsList* rows = Filter(kHandle, *block);
    EXPECT_EQ(rows != nullptr, cases[i].passes) << "block " << i;
    if (rows != nullptr) {
      ASSERT_EQ(rows->Count(), 3) << "block " << i;
      EXPECT_TRUE(rows->Element(1)->Name() == name) << "block " << i;
    }
  }
}

TEST_F(SizeLimits, LanguageFileOfHundredThousandBlocksTranslatesItsLastText) {
  const std::string path = store_.File("big.lng");
  ASSERT_TRUE(limits::WriteLanguageFile(path, limits::kLanguageBlocks));
  TWtransl translator(nullptr);
  translator.LanguageFile.clear();  // nothing to collect when it goes
  ASSERT_TRUE(translator.LoadTranslationTable(path, "EN", "DE"));
  ASSERT_EQ(translator.SourceLngList()->Count(), limits::kLanguageBlocks);

  struct Case {
    std::string text;
    std::string translation;
    bool found;
  };
  const int64_t last = limits::kLanguageBlocks - 1;
  const Case cases[] = {
      {limits::LanguageSource(last), limits::LanguageTarget(last), true},
      {limits::LanguageSource(0), limits::LanguageTarget(0), true},  // "&" in the file, not in the text
      {"  Text number 77777 ", limits::LanguageTarget(77777), true},
      {"&Text number 77777", limits::LanguageTarget(77777), true},
      {std::string("Text number ") + std::to_string(limits::kLanguageBlocks), "Text number 100000", false},
  };
  for (const Case& c : cases) {
    std::string translation;
    bool found = false;
    translator.LookupTranslation(c.text, translation, found);
    EXPECT_EQ(found, c.found) << c.text;
    EXPECT_EQ(translation, c.found ? c.translation : c.text) << c.text;
  }
}

TEST_F(SizeLimits, TenMegabyteItemListTextComesBackUnchanged) {
  constexpr int32_t kHandle = 9103;
  const std::string text = limits::ItemsText(limits::kItemsTextBytes);
  ASSERT_GE(text.size(), limits::kItemsTextBytes);
  ASSERT_EQ(SetItems(kHandle, text), 0);
  TkvoPlugin* instance = nullptr;
  TParamsList parameters;
  ASSERT_TRUE(GetPluginInstance(kHandle, &parameters, &instance));
  const int32_t lines = static_cast<int32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  EXPECT_EQ(instance->ParserItemCount(), lines);
  const std::string back = ItemsText(kHandle);
  EXPECT_EQ(back.size(), text.size());
  EXPECT_TRUE(back == text) << "the item list text changed on the way";
}

}  // namespace
}  // namespace kvo
