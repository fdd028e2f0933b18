// The module file as a host loads it, with language files beside it: the file shipped beside the built
// module, and copies of the module in scratch folders with language files of the test's own (a default
// language, a collecting directive), loaded by their paths and unloaded again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "kvo/kvo_host.h"
#include "kvo/kvo_plugin.h"
#include "language/language_test_support.h"
#include "platform/module.h"
#include "platform/text_codec.h"

namespace {

using kvo::testing::CrLfLines;

const std::string kEnglish = "Deadband. No data for processing||1";
const std::string kGerman = "Deadband. Keine Daten zur Verarbeitung||1";
const std::string kFrench =
    "Deadband. " + kvo::platform::NarrowFromWide(u"Aucune donn\u00e9e \u00e0 traiter") + "||1";

class Params {
 public:
  Params() : list_(kvo_params_new()) {}
  Params(const Params&) = delete;
  Params& operator=(const Params&) = delete;
  ~Params() { kvo_params_free(list_); }
  TParamsList* get() const { return list_; }
  Params& Text(const char* name, const std::string& text) {
    EXPECT_EQ(kvo_params_add_text(list_, name, text.c_str()), 1) << name;
    return *this;
  }

 private:
  TParamsList* list_;
};

// A loaded module file and the entry points the tests use.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& path) : handle_(kvo::platform::LoadModule(path.c_str(), &error_)) {
    if (!handle_) return;
    command_ = reinterpret_cast<KvoExecutePluginCommandFn>(
        kvo::platform::ProcAddress(handle_, "ExecutePluginCommand"));
    process_ = reinterpret_cast<KvoProcessDataFn>(kvo::platform::ProcAddress(handle_, "ProcessData"));
    log_ = reinterpret_cast<KvoGetLogExFn>(kvo::platform::ProcAddress(handle_, "GetLogEx"));
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule() { Unload(); }

  bool Ready() const { return handle_ && command_ && process_ && log_; }
  const std::string& Error() const { return error_; }
  // Unloading destroys the module's instances, and with them their translators.
  void Unload() {
    kvo::platform::UnloadModule(handle_);
    handle_ = nullptr;
  }

  int32_t Command(int32_t handle, const char* command, Params& params) {
    kvo_params_add_text(params.get(), "COMMAND", command);
    return command_(handle, params.get());
  }
  void Language(int32_t handle, const std::string& language) {
    Params params;
    params.Text("LANGUAGE", language);
    EXPECT_EQ(Command(handle, "NO-SUCH-COMMAND", params), -2);
  }
  // The log of an export call ("TYPE" 4) that brings no data.
  std::string NoDataLog(int32_t handle) {
    TParamsList* parameters = kvo_params_new();
    kvo_params_add_int(parameters, "TYPE", 4);
    void* data = nullptr;
    TParamsList* rows = nullptr;
    EXPECT_EQ(process_(handle, 0, parameters, &data, &rows), 0);
    kvo_params_free(parameters);
    int32_t needed = 0;
    EXPECT_EQ(log_(handle, nullptr, 0, &needed), 0);
    std::string text(static_cast<size_t>(needed), '\0');
    EXPECT_EQ(log_(handle, text.data(), needed, &needed), needed);
    return text;
  }

 private:
  std::string error_;
  kvo::platform::ModuleHandle handle_;
  KvoExecutePluginCommandFn command_ = nullptr;
  KvoProcessDataFn process_ = nullptr;
  KvoGetLogExFn log_ = nullptr;
};

std::string LanguageFileOf(const std::string& module_path) {
  return std::filesystem::path(module_path).replace_extension(".lng").string();
}

// The built module stays loaded for the whole program, as a host keeps it; the copies come and go beside
// it (and the libraries it uses stay loaded with it).
LoadedModule& BuiltModule() {
  static LoadedModule* const module = new LoadedModule(KVO_DEADBAND_MODULE_PATH);
  return *module;
}

TEST(ShippedLanguageFile, LiesBesideTheBuiltModuleAndTranslatesItsLog) {
  ASSERT_TRUE(std::filesystem::is_regular_file(LanguageFileOf(KVO_DEADBAND_MODULE_PATH)));
  LoadedModule& module = BuiltModule();
  ASSERT_TRUE(module.Ready()) << module.Error();
  const int32_t h = 801;
  EXPECT_EQ(module.NoDataLog(h), kEnglish) << "English by default";
  module.Language(h, "DE");
  EXPECT_EQ(module.NoDataLog(h), kGerman);
  module.Language(h, "FR");
  EXPECT_EQ(module.NoDataLog(h), kFrench);
  module.Language(h, "EN");
  EXPECT_EQ(module.NoDataLog(h), kEnglish);
}

class ModuleCopy : public kvo::testing::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    ASSERT_TRUE(BuiltModule().Ready()) << BuiltModule().Error();
  }
  // A copy of the built module in the scratch folder; returns its path.
  std::string CopyModule() {
    const std::filesystem::path source(KVO_DEADBAND_MODULE_PATH);
    const std::filesystem::path copy = scratch_ / source.filename();
    std::filesystem::copy_file(source, copy);
    return copy.string();
  }
};

TEST_F(ModuleCopy, DefaultLanguageOfItsLanguageFileTranslatesTheLog) {
  const std::string module_path = CopyModule();
  std::string text = kvo::testing::ReadBytes(LanguageFileOf(KVO_DEADBAND_MODULE_PATH));
  const size_t at = text.find("Default = EN");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 12, "Default = DE");
  ASSERT_TRUE(kvo::testing::WriteBytes(LanguageFileOf(module_path), text));
  LoadedModule module(module_path);
  ASSERT_TRUE(module.Ready()) << module.Error();
  EXPECT_EQ(module.NoDataLog(802), kGerman);
}

TEST_F(ModuleCopy, CollectingDirectiveKeepsTheTextsAndWritesTheUntranslatedAtUnload) {
  const std::string module_path = CopyModule();
  WriteLines(std::filesystem::path(LanguageFileOf(module_path)).filename().string(),
             {"//saveuntr", "[Languages]", "$EN = English", "$DE = Deutsch", "Default = DE", "",
              "EN:>No data for processing", "DE:>Keine Daten zur Verarbeitung", "", "EN:>Deadband variables",
              "DE:>Totband-Variablen", ""});
  const std::string collected = LanguageFileOf(module_path) + ".new";
  {
    LoadedModule module(module_path);
    ASSERT_TRUE(module.Ready()) << module.Error();
    EXPECT_EQ(module.NoDataLog(803), kEnglish) << "collecting changes no text";
    Params load;
    load.Text("INI-FILE", Path("settings.ini"));
    EXPECT_EQ(module.Command(803, "LOAD", load), 0);  // creates the settings form, which is walked
    Params unload;
    unload.Text("INI-FILE", Path("settings.ini"));
    EXPECT_EQ(module.Command(803, "UNLOAD", unload), 0);
    EXPECT_FALSE(std::filesystem::exists(collected)) << "written when the instance goes, not before";
  }
  const std::string text = kvo::testing::ReadBytes(collected);
  EXPECT_TRUE(
      text.starts_with(CrLfLines({"[Languages]", "$EN = #1", "$DE = #2 (Default)", "Default = DE", ""})))
      << text;
  for (const char* untranslated :
       {"Data have been processed successful", "Data have been processed with errors",
        "Relationship between variables", "Cancel", "Percent"}) {
    EXPECT_NE(text.find(CrLfLines({std::string("EN:>") + untranslated, "DE:>", ""})), std::string::npos)
        << untranslated;
  }
  for (const char* translated : {"EN:>No data for processing", "EN:>Deadband variables", "EN:>AND"})
    EXPECT_EQ(text.find(translated), std::string::npos) << translated;
}

}  // namespace
