// The module's texts in the host's language, through the exported entry points inside this process: the
// language file lies beside the module file (here a module path of the test's own, in a scratch folder),
// its default language is taken at construction, and "LANGUAGE" switches languages at run time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "language/language_test_support.h"
#include "language/wtransl.h"
#include "params/params_list.h"
#include "platform/module.h"
#include "platform/text_codec.h"
#include "plugin/plugin_registry.h"
#include "support/deadband_instance.h"
#include "support/module_commands.h"

namespace kvo {
namespace {

using testing::Out;

#if defined(_WIN32)
constexpr const char* kModuleFile = "deadband.dll";
#else
constexpr const char* kModuleFile = "deadband.so";
#endif

const std::string kEnglish = "Deadband. No data for processing||1";
const std::string kGerman = "Deadband. Keine Daten zur Verarbeitung||1";
// "Aucune donnée à traiter" in the platform's 8-bit text.
const std::string kFrench =
    "Deadband. " + platform::NarrowFromWide(u"Aucune donn\u00e9e \u00e0 traiter") + "||1";

class ModuleLanguage : public testing::ScratchFolderTest {
 public:
  static void SetUpTestSuite() { RegisterDeadbandPlugin(); }

 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
#if !defined(_WIN32)
    ASSERT_EQ(::setenv("KVO_REGISTRY_DIR", Path("registry").c_str(), 1), 0);
#endif
    previous_path_ = platform::OverrideOwnModulePath(Path(kModuleFile));
  }
  void TearDown() override {
    platform::OverrideOwnModulePath(previous_path_);
#if !defined(_WIN32)
    ::unsetenv("KVO_REGISTRY_DIR");
#endif
    ScratchFolderTest::TearDown();
  }

  // The shipped language file beside the module, with `default_language` as its default.
  void WriteLanguageFile(const std::string& default_language) {
    std::string text = testing::ReadBytes(KVO_SHIPPED_LANGUAGE_FILE);
    const size_t at = text.find("Default = EN");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 12, "Default = " + default_language);
    ASSERT_TRUE(testing::WriteBytes(Path("deadband.lng"), text));
  }

  static TaPlugin* Instance(int32_t handle) {
    return testing::DeadbandInstance(handle);
  }

  static int32_t Command(int32_t handle, const char* command,
                         const std::vector<std::pair<std::string, std::string>>& texts = {}) {
    return testing::SendCommand(handle, command, texts);
  }
  static void Language(int32_t handle, const std::string& language) {
    // Any command applies the language first, even one nobody takes.
    EXPECT_EQ(Command(handle, "NO-SUCH-COMMAND", {{"LANGUAGE", language}}), -2);
  }

  // The log of an export call ("TYPE" 4) that brings no data.
  static std::string NoDataLog(int32_t handle) {
    TParamsList parameters;
    parameters.Add("TYPE", Variant::FromInt(4));
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    EXPECT_EQ(::ProcessData(handle, 0, Out(&parameters), &data, &rows), 0);
    int32_t needed = 0;
    EXPECT_EQ(::GetLogEx(handle, nullptr, 0, &needed), 0);
    std::string text(static_cast<size_t>(needed), '\0');
    EXPECT_EQ(::GetLogEx(handle, text.data(), needed, &needed), needed);
    return text;
  }

  std::string previous_path_;
};

TEST_F(ModuleLanguage, DefaultLanguageOfTheFileBesideTheModuleTranslatesTheLog) {
  WriteLanguageFile("DE");
  const int32_t h = 701;
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->Transl()->LanguageFile, Path("deadband.lng"));
  EXPECT_EQ(plugin->Language(), "DE");
  EXPECT_EQ(NoDataLog(h), kGerman);
}

TEST_F(ModuleLanguage, LanguageCommandSwitchesTheMessagesAndRaisesTheEventOnce) {
  WriteLanguageFile("DE");
  const int32_t h = 702;
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  std::vector<std::string> changes;
  plugin->OnChangeLanguage = [&changes](TkvoPlugin& sender) { changes.push_back(sender.Language()); };

  Language(h, "FR");
  EXPECT_EQ(NoDataLog(h), kFrench);
  EXPECT_EQ(changes, (std::vector<std::string>{"FR"}));

  Language(h, "FR");
  EXPECT_EQ(changes.size(), 1u) << "the same language again raises nothing";

  Language(h, "EN");
  EXPECT_EQ(NoDataLog(h), kEnglish);
  Language(h, "DE");
  EXPECT_EQ(NoDataLog(h), kGerman);
  EXPECT_EQ(changes, (std::vector<std::string>{"FR", "EN", "DE"}));
  plugin->OnChangeLanguage = nullptr;
}

TEST_F(ModuleLanguage, SettingsFormIsTranslatedWhenCreatedAndWithEverySwitch) {
  WriteLanguageFile("DE");
  const int32_t h = 703;
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(Command(h, "LOAD", {{"INI-FILE", Path("h703.ini")}}), 0);
  {
    std::lock_guard guard(*plugin);
    ASSERT_NE(plugin->SettingsForm(), nullptr);
    EXPECT_EQ(plugin->SettingsForm()->gbDB->Caption, "Totband-Variablen");
    EXPECT_EQ(plugin->SettingsForm()->comboRel->Items().Text(), "AND\r\nOR\r\n");
  }
  Language(h, "FR");
  {
    std::lock_guard guard(*plugin);
    EXPECT_EQ(plugin->SettingsForm()->gbDB->Caption, "Variables de bande morte");
  }
  Language(h, "EN");
  {
    std::lock_guard guard(*plugin);
    EXPECT_EQ(plugin->SettingsForm()->gbDB->Caption, "Deadband variables");
  }
  EXPECT_EQ(Command(h, "UNLOAD", {{"INI-FILE", Path("h703.ini")}}), 0);
}

TEST_F(ModuleLanguage, WithoutLanguageFileTheTextsStayEnglishAndNothingIsReported) {
  const int32_t h = 704;
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->Language(), "EN");
  EXPECT_EQ(plugin->Transl()->LanguageFile, "");
  EXPECT_EQ(NoDataLog(h), kEnglish);
  Language(h, "DE");
  EXPECT_EQ(NoDataLog(h), kEnglish) << "one line, and no complaint about the missing file";
}

}  // namespace
}  // namespace kvo
