// The options dialog on screen, through the ShowOptionsDialog export of the module linked into this
// process: what the widgets show, what Escape, Enter and OK store, how the items and the other instances
// follow, and how the window resizes. The dialog is driven from the view's shown hook with the toolkit's
// own events (Qt offscreen natively, window messages under Wine with a virtual display).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "deadband/filter_main.h"
#include "forms/nonvisual.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "platform/module.h"
#include "plugin/plugin_registry.h"
#include "runtime/application.h"
#include "support/deadband_ini.h"
#include "support/deadband_instance.h"
#include "support/module_commands.h"
#include "support/scratch_store.h"
#include "view/dialog_driver.h"
#include "view/form_view.h"

#if defined(KVO_VIEW_QT)
#include <QApplication>
#include <QThread>
#include <thread>
#endif

namespace kvo {
namespace {

using testing::DeadbandSlot;
using view_test::Box;
using view_test::DialogDriver;

constexpr int32_t kAbsolute = 0;
constexpr int32_t kPercent = 1;
constexpr int32_t kCountLimit = 3;
constexpr int32_t kAnd = 0;
constexpr int32_t kOr = 1;
constexpr int kHeight = 430;
constexpr int kMinWidth = 370;

using testing::Out;

// The value of `key` in an INI text ("" when absent).
std::string IniValue(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return std::string();
}

class OptionsDialogView : public ::testing::Test {
 public:
  static void SetUpTestSuite() { RegisterDeadbandPlugin(); }

 protected:
  void SetUp() override {
    ini_ = store_.File("settings.ini");
    if (!view::DisplayAvailable()) GTEST_SKIP() << "no display";
  }
  void TearDown() override { view::SetShownHook({}); }

  static int32_t NextHandle() {
    static std::atomic<int32_t> next{7100};
    return next.fetch_add(1);
  }

  static int32_t Command(int32_t handle, const char* command,
                         const std::vector<std::pair<std::string, std::string>>& texts = {}) {
    return testing::SendCommand(handle, command, texts);
  }

  static TaPlugin* Instance(int32_t handle) { return testing::DeadbandInstance(handle); }

  void WriteSettings(int32_t relationship, const std::vector<DeadbandSlot>& entries) {
    ASSERT_TRUE(testing::WriteTextFile(ini_, testing::DeadbandIniText(relationship, entries)));
  }
  std::string Stored() const {
    std::ifstream in(ini_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // A loaded instance on the shared INI file, with the given registry path and host items.
  TaPlugin* Loaded(int32_t handle, const std::string& registry_path, const std::string& items = "") {
    TaPlugin* plugin = Instance(handle);
    EXPECT_EQ(Command(handle, "LOAD", {{"INI-FILE", ini_}, {"RegistryPath", registry_path}}), 0);
    if (!items.empty()) {
      EXPECT_EQ(Command(handle, "SET ITEMS", {{"ITEMS", items}}), 0);
    }
    return plugin;
  }

  // Shows the options dialog of `handle` and runs `script` on it once it is visible; the script must end
  // the dialog. Returns whether the script ran.
  static bool RunDialog(int32_t handle, std::function<void(DialogDriver&)> script) {
    bool ran = false;
    view::SetShownHook([&](void* window) {
      ran = true;
      std::unique_ptr<DialogDriver> driver = view_test::MakeDriver(window);
      script(*driver);
      if (driver->Open()) {
        ADD_FAILURE() << "the script left the dialog open";
        driver->Click("btnCancel");
      }
    });
    ::ShowOptionsDialog(handle, nullptr);
    view::SetShownHook({});
    return ran;
  }

  // Whether a one-variable block passes the instance's filter.
  static bool Passes(int32_t handle, const std::string& name, double value) {
    TRowsParamsList block;
    block.Add(name, Variant::FromDouble(value));
    TParamsList parameters;
    parameters.Add("TYPE", Variant::FromInt(32));
    void* data = &block;
    ::TParamsList* rows = nullptr;
    EXPECT_EQ(::ProcessData(handle, 1, Out(&parameters), &data, &rows), 0);
    return rows != nullptr;
  }

  // The INI file, and on POSIX the registry's root files; on Windows the keys below Software\kvo-test-view.
  testing::ScratchStore store_{"kvo-view", "kvo-test-view"};
  const std::filesystem::path& scratch_ = store_.Path();
  std::string ini_;
};

const std::vector<std::string> kTypeNames = {"Absolute", "Percent", "Time limit (s)", "Count limit"};

TEST_F(OptionsDialogView, WidgetsShowTheStoredSettingsAndTheSortedItemNames) {
  WriteSettings(kOr, {{"Temperature", kPercent, 2.5}, {"Pressure", kCountLimit, 7}});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a", "1|zeta|Float|\r\n2|Alpha|Float|\r\n3|beta|Integer|");
  const std::vector<std::string> sorted = {"Alpha", "beta", "zeta"};
  EXPECT_TRUE(RunDialog(h, [&](DialogDriver& d) {
    EXPECT_EQ(d.Title().rfind("Deadband ", 0), 0u) << d.Title();
    EXPECT_EQ(d.Text("var1"), "Temperature");
    EXPECT_EQ(d.ItemIndex("type1"), kPercent);
    EXPECT_EQ(d.Text("type1"), "Percent");
    EXPECT_EQ(d.Text("val1"), "2.500000");
    EXPECT_EQ(d.Text("var2"), "Pressure");
    EXPECT_EQ(d.ItemIndex("type2"), kCountLimit);
    EXPECT_EQ(d.Text("val2"), "7.000000");
    EXPECT_EQ(d.Text("var3"), "");
    EXPECT_EQ(d.ItemIndex("type3"), -1);
    EXPECT_EQ(d.ItemIndex("comboRel"), kOr);
    EXPECT_EQ(d.Items("comboRel"), (std::vector<std::string>{"AND", "OR"}));
    for (const char* var : {"var1", "var4", "var8"})
      EXPECT_EQ(d.Items(var), sorted) << var;
    for (const char* type : {"type1", "type5", "type8"})
      EXPECT_EQ(d.Items(type), kTypeNames) << type;
    EXPECT_EQ(d.Text("btnOK"), "OK");
    EXPECT_EQ(d.Text("btnCancel"), "Cancel");
    EXPECT_EQ(d.Focused(), "btnCancel");
    d.PressEscape();
    EXPECT_FALSE(d.Open()) << "Escape ends the dialog";
  }));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, EscapeAfterChangesStoresOnlyThePlaceAndSize) {
  WriteSettings(kOr, {{"Temperature", kPercent, 2.5}});
  const int32_t h = NextHandle();
  TaPlugin* plugin = Loaded(h, "Software\\kvo-test-view\\a");
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) {
    d.Type("var1", "Humidity");
    d.Pick("type1", kAbsolute);
    d.Type("val1", "9.5");
    d.Pick("comboRel", kAnd);
    d.Type("var2", "Wind");
    d.Pick("type2", kAbsolute);
    d.Resize(600, kHeight);
    d.PressEscape();
  }));
  const std::string stored = Stored();
  EXPECT_EQ(IniValue(stored, "Var1"), "Temperature");
  EXPECT_EQ(IniValue(stored, "Type1"), "1");
  EXPECT_EQ(IniValue(stored, "Val1"), "2.5");
  EXPECT_EQ(IniValue(stored, "Relationship"), "1");
  EXPECT_EQ(IniValue(stored, "Var2"), "");
  EXPECT_EQ(IniValue(stored, "Width"), "600");
  EXPECT_EQ(IniValue(stored, "Height"), std::to_string(kHeight));
  EXPECT_NE(IniValue(stored, "Left"), "");
  EXPECT_NE(IniValue(stored, "Top"), "");
  // The items are those of the stored settings still: Temperature within 2.5 % is dropped.
  EXPECT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_TRUE(Passes(h, "Temperature", 100));
  EXPECT_FALSE(Passes(h, "Temperature", 102));
  EXPECT_FALSE(Passes(h, "Humidity", 0));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, EnterInAFieldClosesAsCancel) {
  WriteSettings(kAnd, {{"Temperature", kPercent, 2.5}});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a");
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) {
    d.Type("var1", "Humidity");
    EXPECT_EQ(d.Focused(), "var1");
    d.PressEnter();
    EXPECT_FALSE(d.Open());
  }));
  EXPECT_EQ(IniValue(Stored(), "Var1"), "Temperature");
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, OkStoresEveryKeyAndTheInstancesOfTheSamePathFollow) {
  WriteSettings(kAnd, {{"x", kAbsolute, 100}});
  const int32_t caller = NextHandle();
  const int32_t same = NextHandle();
  const int32_t other = NextHandle();
  TaPlugin* plugin = Loaded(caller, "Software\\kvo-test-view\\shared");
  Loaded(same, "Software\\kvo-test-view\\shared");
  Loaded(other, "Software\\kvo-test-view\\other");
  ASSERT_NE(plugin, nullptr);
  EXPECT_TRUE(RunDialog(caller, [](DialogDriver& d) {
    d.Type("var1", "y");
    d.Type("val1", "1");
    d.Type("var2", "z");
    d.Pick("type2", kCountLimit);
    d.Type("val2", "3");
    d.StepUp("val2");
    EXPECT_EQ(d.Text("val2"), "4.000000") << "the arrow steps by 1 and shows 6 decimals";
    d.Pick("comboRel", kOr);
    d.Click("btnOK");
    EXPECT_FALSE(d.Open());
  }));
  const std::string stored = Stored();
  const std::vector<std::pair<std::string, std::string>> keys = {
      {"Var1", "y"}, {"Type1", "0"},        {"Val1", "1"},
      {"Var2", "z"}, {"Type2", "3"},        {"Val2", "4"},
      {"Var3", ""},  {"Relationship", "1"}, {"Height", std::to_string(kHeight)}};
  for (const auto& [key, value] : keys)
    EXPECT_EQ(IniValue(stored, key), value) << key;
  EXPECT_NE(IniValue(stored, "Width"), "");
  EXPECT_EQ(plugin->Filter().ItemCount(), 2u);
  for (int32_t h : {caller, same}) {
    EXPECT_TRUE(Passes(h, "y", 0)) << h;
    EXPECT_FALSE(Passes(h, "y", 0.5)) << h;
    EXPECT_TRUE(Passes(h, "y", 1.5)) << h << ": under OR one variable leaving its band is enough";
    EXPECT_FALSE(Passes(h, "x", 0)) << h << ": x is no longer watched";
  }
  // The instance of another registry path still filters by what it loaded.
  EXPECT_TRUE(Passes(other, "x", 0));
  EXPECT_FALSE(Passes(other, "x", 50));
  EXPECT_FALSE(Passes(other, "y", 0));
  for (int32_t h : {caller, same, other})
    EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, ResizingKeepsTheHeightAndMinimumWidthAndCentresTheButtons) {
  WriteSettings(kAnd, {});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a");
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) {
    const Box start = d.ClientArea();
    EXPECT_EQ(d.Frame().height, kHeight) << "the height is the window's, frame included";
    const Box var1 = d.Geometry("var1");
    const Box type1 = d.Geometry("type1");
    const Box val8 = d.Geometry("val8");
    auto right_gap = [&](const Box& box) { return d.ClientArea().width - (box.left + box.width); };
    const int type_gap = right_gap(type1);
    const int val_gap = right_gap(val8);
    auto expect_centred = [&](const char* when) {
      // The two buttons stand 4 apart, centred on the bottom panel (inset by the form's border of 3).
      const Box ok = d.Geometry("btnOK");
      const Box cancel = d.Geometry("btnCancel");
      EXPECT_EQ(ok.left, 3 + HalfRoundedToEven(d.ClientArea().width - 6) - ok.width - 2) << when;
      EXPECT_EQ(cancel.left, ok.left + ok.width + 4) << when;
    };

    d.Resize(d.Frame().width + 213, kHeight + 50);
    EXPECT_EQ(d.ClientArea().width, start.width + 213);
    EXPECT_EQ(d.Frame().height, kHeight) << "the height is fixed";
    EXPECT_EQ(d.Geometry("var1").width, var1.width + 213) << "the variable fields widen";
    EXPECT_EQ(d.Geometry("var1").left, var1.left);
    EXPECT_EQ(d.Geometry("type1").width, type1.width);
    EXPECT_EQ(right_gap(d.Geometry("type1")), type_gap) << "the type keeps its distance from the right";
    EXPECT_EQ(right_gap(d.Geometry("val8")), val_gap) << "the value keeps its distance from the right";
    expect_centred("wider");

    d.Resize(200, kHeight);
    EXPECT_EQ(d.Frame().width, kMinWidth) << "no narrower than the minimum";
    expect_centred("narrowest");
    d.PressEscape();
  }));
  EXPECT_EQ(IniValue(Stored(), "Width"), std::to_string(kMinWidth));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, F1AsksForTheHelpOfTheDialog) {
  WriteSettings(kAnd, {});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a");
  std::vector<int32_t> requests;
  EXPECT_TRUE(RunDialog(h, [&](DialogDriver& d) {
    // The dialog's help component may have installed its own handler: this one stands in while F1 is
    // pressed.
    TApplication::THelpEvent previous =
        Application().SetHelpHandler([&](uint16_t command, int32_t data, bool&) {
          if (command == 1) requests.push_back(data);
          return true;
        });
    d.Type("var3", "q");
    d.PressF1();
    Application().SetHelpHandler(std::move(previous));
    d.Click("btnCancel");
  }));
  EXPECT_EQ(requests, (std::vector<int32_t>{80}));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, LanguageFileTranslatesTheCaptionsButNotTheRelationsOrTheVariables) {
  // A language file beside the module (here a module path of the test's own in the scratch folder).
  const std::string previous = platform::OverrideOwnModulePath((scratch_ / "deadband.module").string());
  const std::string language_file =
      "[Languages]\r\n$EN = English\r\n$DE = Deutsch\r\nDefault = EN\r\n\r\n"
      "EN:>Relationship between variables\r\nDE:>Beziehung zwischen Variablen\r\n\r\n"
      "EN:>Deadband variables\r\nDE:>Totband-Variablen\r\n\r\n"
      "EN:>Cancel\r\nDE:>Abbrechen\r\n\r\n"
      "EN:>Absolute\r\nDE:>Absolut\r\n\r\n"
      "EN:>AND\r\nDE:>UND\r\n\r\n"
      "EN:>OR\r\nDE:>ODER\r\n\r\n"
      "EN:>Temperature\r\nDE:>Temperatur\r\n\r\n";
  ASSERT_TRUE(testing::WriteTextFile((scratch_ / "deadband.lng").string(), language_file));
  WriteSettings(kAnd, {{"Temperature", kAbsolute, 1}});
  const int32_t h = NextHandle();
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(Command(h, "LOAD",
                    {{"INI-FILE", ini_}, {"RegistryPath", "Software\\kvo-test-view\\a"}, {"LANGUAGE", "DE"}}),
            0);
  EXPECT_EQ(Command(h, "SET ITEMS", {{"ITEMS", "1|Temperature|Float|"}}), 0);
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) {
    EXPECT_EQ(d.Text("Label2"), "Beziehung zwischen Variablen");
    EXPECT_EQ(d.Text("gbDB"), "Totband-Variablen");
    EXPECT_EQ(d.Text("btnCancel"), "Abbrechen");
    EXPECT_EQ(d.Text("btnOK"), "OK");
    EXPECT_EQ(d.Items("type1").at(0), "Absolut");
    EXPECT_EQ(d.Items("type6").at(0), "Absolut") << "the copies are of the translated names";
    EXPECT_EQ(d.Text("type1"), "Absolut");
    EXPECT_EQ(d.Items("comboRel"), (std::vector<std::string>{"AND", "OR"}));
    EXPECT_EQ(d.Text("var1"), "Temperature");
    EXPECT_EQ(d.Items("var1"), (std::vector<std::string>{"Temperature"}));
    d.PressEscape();
  }));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
  platform::OverrideOwnModulePath(previous);
}

// The stored Width and Height are the window's with its frame: what one open stores, the next shows and
// stores again, also from a store an older version wrote with the client area's size.
TEST_F(OptionsDialogView, OpenOkOpenKeepsTheWindowSize) {
  for (const int stored_width : {487, 520}) {
    SCOPED_TRACE(stored_width);
    ASSERT_TRUE(testing::WriteTextFile(ini_, "[Common]\r\nLeft=40\r\nTop=30\r\nHeight=430\r\nWidth=" +
                                                 std::to_string(stored_width) + "\r\nRelationship=0\r\n"));
    const int32_t h = NextHandle();
    Loaded(h, "Software\\kvo-test-view\\a");
    for (int open = 0; open < 2; ++open) {
      Box frame;
      EXPECT_TRUE(RunDialog(h, [&](DialogDriver& d) {
        frame = d.Frame();
        d.Click("btnOK");
      }));
      EXPECT_EQ(frame.width, stored_width) << "open " << open;
      EXPECT_EQ(frame.height, kHeight) << "open " << open;
      EXPECT_EQ(IniValue(Stored(), "Width"), std::to_string(stored_width)) << "open " << open;
      EXPECT_EQ(IniValue(Stored(), "Height"), std::to_string(kHeight)) << "open " << open;
    }
    EXPECT_EQ(Command(h, "UNLOAD"), 0);
  }
}

// With no stored place the dialog opens in the middle of its screen.
TEST_F(OptionsDialogView, WithoutAStoredPlaceTheDialogIsCentredOnItsScreen) {
  const int32_t h = NextHandle();
  TaPlugin* plugin = Instance(h);
  ASSERT_NE(plugin, nullptr);
  // Neither the INI file nor the registry key exists: the load finds no place.
  EXPECT_EQ(
      Command(h, "LOAD",
              {{"INI-FILE", store_.File("none.ini")}, {"RegistryPath", "Software\\kvo-test-view\\none"}}),
      0);
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) {
    const Box frame = d.Frame();
    const Box area = d.WorkArea();
    EXPECT_EQ(frame.left, area.left + (area.width - frame.width) / 2);
    EXPECT_EQ(frame.top, area.top + (area.height - frame.height) / 2);
    d.Click("btnCancel");
  }));
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

// Help asked for in the dialog opens over it: the dialog's window owns the help window.
TEST_F(OptionsDialogView, TheOpenDialogOwnsTheHelpWindow) {
  WriteSettings(kAnd, {});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a");
  platform::HelpWindow owner = 0;
  void* dialog = nullptr;
  view::SetShownHook([&](void* window) {
    dialog = window;
    owner = THtmlHelp::OwnerWindow();
    view_test::MakeDriver(window)->Click("btnCancel");
  });
  ::ShowOptionsDialog(h, nullptr);
  view::SetShownHook({});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(owner, reinterpret_cast<platform::HelpWindow>(dialog));
  EXPECT_EQ(THtmlHelp::OwnerWindow(), 0u) << "no dialog is open any more";
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

// OK when the settings cannot be saved: the user sees the store's error in an error box over the dialog,
// which stays open with what the user typed; Cancel then closes it, and nothing was applied or reloaded.
TEST_F(OptionsDialogView, AFailedSaveShowsTheErrorAndKeepsTheDialogOpen) {
  struct Case {
    const char* what;
    std::string ini_file;
    std::string registry_dir;  // "": the scratch store's
    const char* error_part;
  };
  std::vector<Case> cases = {
      {"INI file in a missing folder", store_.File("missing/settings.ini"), "", "missing"},
  };
#if !defined(_WIN32)
  ASSERT_TRUE(testing::WriteTextFile(store_.File("plain-file"), "x"));
  cases.push_back(
      {"no registry root can be opened", "", store_.File("plain-file") + "/registry", "cannot be opened"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t caller = NextHandle();
    const int32_t same = NextHandle();
    std::vector<std::pair<std::string, std::string>> load = {
        {"RegistryPath", "Software\\kvo-test-view\\fail"}, {"ApplicationName", "Test Logger"}};
    if (!c.ini_file.empty()) load.push_back({"INI-FILE", c.ini_file});
    TaPlugin* plugin = Instance(caller);
    TaPlugin* other = Instance(same);
    ASSERT_NE(plugin, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(Command(caller, "LOAD", load), 0);
    ASSERT_EQ(Command(same, "LOAD", load), 0);
    int reloads = 0;
    TOnPluginNotifyEvent reload = other->OnLoadSettingsNow;
    other->OnLoadSettingsNow = [&](TkvoPlugin& sender) {
      ++reloads;
      reload(sender);
    };
#if !defined(_WIN32)
    std::string previous_dir;
    if (const char* dir = std::getenv("KVO_REGISTRY_DIR")) previous_dir = dir;
    if (!c.registry_dir.empty()) ::setenv("KVO_REGISTRY_DIR", c.registry_dir.c_str(), 1);
#endif
    view_test::MessageSeen seen;
    EXPECT_TRUE(RunDialog(caller, [&](DialogDriver& d) {
      d.Type("var1", "Typed");
      d.Pick("type1", kAbsolute);
      d.CloseNextMessageBox(&seen);
      d.Click("btnOK");
      EXPECT_TRUE(d.Open()) << "the dialog stays open";
      EXPECT_EQ(d.Text("var1"), "Typed") << "with the user's values";
      d.Click("btnCancel");
      EXPECT_FALSE(d.Open());
    }));
#if !defined(_WIN32)
    ::setenv("KVO_REGISTRY_DIR", previous_dir.c_str(), 1);
#endif
    EXPECT_TRUE(seen.shown);
    EXPECT_NE(seen.text.find(c.error_part), std::string::npos) << seen.text;
    EXPECT_EQ(seen.caption, "Test Logger");
    EXPECT_TRUE(seen.error_icon);
    EXPECT_TRUE(seen.owned_by_dialog);
    EXPECT_EQ(plugin->Filter().ItemCount(), 0u) << "nothing applied";
    EXPECT_EQ(reloads, 0) << "no other instance reloads";
    other->OnLoadSettingsNow = reload;
    EXPECT_EQ(Command(caller, "UNLOAD"), 0);
    EXPECT_EQ(Command(same, "UNLOAD"), 0);
  }
}

#if defined(KVO_VIEW_QT)
// A plug-in cannot assume that its host runs Qt.
TEST_F(OptionsDialogView, QtApplicationIsMadeOnFirstUseOnTheCallingThread) {
  if (QCoreApplication::instance() != nullptr) GTEST_SKIP() << "an earlier test of this process made it";
  WriteSettings(kAnd, {});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a");
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) { d.Click("btnCancel"); }));
  ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
  EXPECT_EQ(QCoreApplication::instance()->thread(), QThread::currentThread());
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, AHostsOwnQtApplicationIsUsedAndLeftAlone) {
  if (QCoreApplication::instance() != nullptr) GTEST_SKIP() << "an earlier test of this process made one";
  WriteSettings(kAnd, {});
  const int32_t h = NextHandle();
  Loaded(h, "Software\\kvo-test-view\\a");
  int argc = 1;
  char name[] = "host";
  char* argv[] = {name, nullptr};
  {
    QApplication host(argc, argv);
    EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) { d.Click("btnOK"); }));
    EXPECT_EQ(QCoreApplication::instance(), &host);
  }
  EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the view kept no application object of its own";
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(OptionsDialogView, ACallFromAnotherThreadThanQtsShowsNothingAndReturns) {
  WriteSettings(kOr, {{"Temperature", kPercent, 2.5}});
  const int32_t h = NextHandle();
  TaPlugin* plugin = Loaded(h, "Software\\kvo-test-view\\a");
  ASSERT_NE(plugin, nullptr);
  EXPECT_TRUE(RunDialog(h, [](DialogDriver& d) { d.Click("btnCancel"); }));  // Qt now lives on this thread
  const std::string before = Stored();
  bool shown = false;
  view::SetShownHook([&](void*) { shown = true; });
  std::thread other([h] { ::ShowOptionsDialog(h, nullptr); });
  other.join();
  view::SetShownHook({});
  EXPECT_FALSE(shown);
  EXPECT_EQ(Stored(), before);
  EXPECT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}
#endif

}  // namespace
}  // namespace kvo
