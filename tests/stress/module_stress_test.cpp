// Several host threads calling the deadband module at once through its entry points, on handles of their
// own and on one handle they share: data calls in both roles, log fetches, commands, language changes and
// queries, interleaved. Every result must be one the module may give; a thread's own handle must behave
// exactly as if it were alone. Meant to run under ThreadSanitizer too, so the work is bounded.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "deadband/filter_main.h"
#include "kvo/kvo_plugin.h"
#include "language/wtransl.h"
#include "params/params_list.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "plugin/plugin_registry.h"
#include "runtime/properties.h"
#include "settings/big_ini.h"
#include "support/deadband_ini.h"
#include "support/deadband_instance.h"
#include "support/module_commands.h"
#include "support/scratch_store.h"
#include "view/form_view.h"

namespace kvo {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 4000;  // per thread; each round makes one call group
constexpr int32_t kSharedHandle = 300;
constexpr int32_t kOwnHandleBase = 301;
constexpr double kBand = 5;
constexpr std::string_view kNoDataLine = "Deadband. No data for processing||1";

using testing::In;
using testing::Out;
using testing::SendCommand;

TaPlugin* Plugin(int32_t handle) {
  return testing::DeadbandInstance(handle);
}

// An instance made beside a copy of the shipped language file, with one absolute item on "v" in the
// store's "settings.ini" for its "LOAD".
TaPlugin* InstanceWithShippedLanguage(const testing::ScratchStore& store, int32_t handle) {
  std::ifstream shipped(KVO_SHIPPED_LANGUAGE_FILE, std::ios::binary);
  EXPECT_TRUE(testing::WriteTextFile(
      store.File("deadband.lng"),
      std::string(std::istreambuf_iterator<char>(shipped), std::istreambuf_iterator<char>())));
  EXPECT_TRUE(
      testing::WriteTextFile(store.File("settings.ini"), testing::DeadbandIniText(0, {{"v", 0, kBand}})));
  // The instance reads the language file beside what it takes for its own file when it is made.
  const std::string previous = platform::OverrideOwnModulePath(store.File("deadband.module"));
  TaPlugin* plugin = Plugin(handle);
  platform::OverrideOwnModulePath(previous);
  return plugin;
}

// One absolute item on "v", as an INI file for "LOAD"; the file is removed with the object.
class OneAbsoluteItemFile {
 public:
  explicit OneAbsoluteItemFile(double band = kBand)
      : path_((std::filesystem::temp_directory_path() /
               ("kvo-stress-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                ".ini"))
                  .string()) {
    ok_ = testing::WriteTextFile(path_, testing::DeadbandIniText(0, {{"v", 0, band}}));
  }
  ~OneAbsoluteItemFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};

std::string ItemsText(int thread) {
  const std::string n = std::to_string(thread);
  return "t" + n + "|Name" + n + "|Float|x" + n + "\r\nu" + n + "|Other" + n + "|Integer|";
}

// A log as the shared handle may hold it: the no-data line, plain or folded, with the blank line a fold
// leaves before the next entry.
bool IsPossibleSharedLog(std::string_view log) {
  size_t start = 0;
  while (start <= log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string_view::npos) end = log.size();
    const std::string_view line = log.substr(start, end - start);
    if (!line.empty() && line != kNoDataLine) {
      constexpr std::string_view head = "Deadband. No data for processing {";
      constexpr std::string_view tail = " time(s)}||1";
      if (line.size() <= head.size() + tail.size() || line.substr(0, head.size()) != head ||
          line.substr(line.size() - tail.size()) != tail) {
        return false;
      }
      const std::string_view count = line.substr(head.size(), line.size() - head.size() - tail.size());
      if (count.find_first_not_of("0123456789") != std::string_view::npos || count == "0" || count == "1") {
        return false;
      }
    }
    if (end == log.size()) break;
    start = end + 2;
  }
  return true;
}

// Failures seen by a worker thread, reported by the main thread.
struct Findings {
  int count = 0;
  std::vector<std::string> first;
  void Add(std::string what) {
    if (first.size() < 10) first.push_back(std::move(what));
    ++count;
  }
};

class Worker {
 public:
  Worker(int index, TRowsParamsList* shared_rows, const std::set<std::string>* shared_items)
      : index_(index), own_(kOwnHandleBase + index), shared_rows_(shared_rows), shared_items_(shared_items) {
    block_.Add("v", Variant::FromDouble(0));
    block_.Add("thread", Variant::FromInt(index));
    block_.Add("site", Variant::FromText("site " + std::to_string(index)));
    block_.NewRow();
    type32_.Add("TYPE", Variant::FromInt(32));
    type4_.Add("TYPE", Variant::FromInt(4));
  }

  void Run() {
    // Each calling thread has result rows of its own on the shared handle too.
    TaPlugin* shared = Plugin(kSharedHandle);
    shared_rows_ = shared ? shared->ResultRows() : nullptr;
    Check(shared_rows_ != nullptr, "shared handle has result rows for this thread", -1);
    for (int round = 0; round < kRounds; ++round)
      Step(round);
  }
  const Findings& findings() const { return findings_; }
  int passes() const { return passes_; }

 private:
  void Check(bool ok, const char* what, int round, int32_t detail = 0) {
    if (!ok) {
      findings_.Add("thread " + std::to_string(index_) + " round " + std::to_string(round) + ": " + what +
                    " (" + std::to_string(detail) + ")");
    }
  }

  int32_t Command(int32_t handle, TParamsList& parameters) {
    return ::ExecutePluginCommand(handle, Out(&parameters));
  }
  int32_t Command(int32_t handle, const char* command) {
    TParamsList parameters;
    parameters.Add("COMMAND", Variant::FromText(command));
    return Command(handle, parameters);
  }

  int32_t Process(int32_t handle, TParamsList& type, TParamsList* block, TParamsList** rows) {
    void* data = block;
    ::TParamsList* out = nullptr;
    const int32_t result = ::ProcessData(handle, static_cast<uint32_t>(index_), Out(&type), &data, &out);
    *rows = In(out);
    return result;
  }

  std::string Log(int32_t handle, int round) {
    char buffer[4096];
    int32_t needed = -1;
    const int32_t copied = ::GetLogEx(handle, buffer, sizeof buffer, &needed);
    Check(needed >= 0 && (copied == 0 || (copied == needed && copied <= int32_t{sizeof buffer})),
          "GetLogEx size", round, copied);
    return std::string(buffer, copied > 0 ? static_cast<size_t>(copied) : 0);
  }

  // The thread's own handle: nobody else calls it, so it must answer exactly as a lone host expects.
  void OwnFilter(int round) {
    const double value = static_cast<double>((round * 7) % 23);
    block_.Element(0)->SetValue(Variant::FromDouble(value));
    const bool expected = !has_reference_ || std::fabs(value - reference_) >= kBand;
    if (expected) {
      reference_ = value;
      has_reference_ = true;
    }
    TParamsList* rows = nullptr;
    Check(Process(own_, type32_, &block_, &rows) == 0, "own filter result", round);
    Check((rows != nullptr) == expected, expected ? "own block dropped" : "own block passed", round,
          static_cast<int32_t>(value));
    if (rows) {
      Check(rows->Count() == block_.Count() && rows->Element(0)->Value().ToDouble() == value &&
                rows->Element(2)->Value().ToText() == block_.Element(2)->Value().ToText() &&
                rows->Element(3)->IsRowMarker(),
            "own rows differ from the block", round, rows->Count());
      ++passes_;
    }
  }

  void OwnNoData(int round) {
    TParamsList* rows = nullptr;
    Check(Process(own_, type4_, nullptr, &rows) == 0 && rows == nullptr, "own no-data call", round);
    Check(Log(own_, round) == kNoDataLine, "own log", round);
  }

  void OwnItems(int round) {
    const std::string text = ItemsText(index_) + (round % 2 ? "" : "\r\nw|Extra|String|");
    TParamsList set;
    set.Add("COMMAND", Variant::FromText("SET ITEMS"));
    set.Add("ITEMS", Variant::FromText(text));
    Check(Command(own_, set) == 0, "own SET ITEMS", round);
    TParamsList get;
    get.Add("COMMAND", Variant::FromText("ITEMS"));
    get.Add("RESULT", Variant::FromText(""));
    Check(Command(own_, get) == 0 && get.ValueByName("RESULT").ToText() == text, "own ITEMS", round);
  }

  // The shared handle: other threads change its state at the same time, so any result of theirs is fine.
  void SharedFilter(int round) {
    block_.Element(0)->SetValue(Variant::FromDouble(static_cast<double>(round % 40)));
    TParamsList* rows = nullptr;
    const int32_t result = Process(kSharedHandle, type32_, &block_, &rows);
    Check(result == 0, "shared filter result", round, result);
    Check(rows == nullptr || rows == shared_rows_, "shared rows are not the instance's", round);
    Check(rows == nullptr || (rows->Count() == block_.Count() && rows->Element(1)->Value().ToInt() == index_),
          "shared rows hold another call's block", round);
  }

  void SharedNoData(int round) {
    TParamsList* rows = nullptr;
    Check(Process(kSharedHandle, type4_, nullptr, &rows) == 0 && rows == nullptr, "shared no-data call",
          round);
    Check(IsPossibleSharedLog(Log(kSharedHandle, round)), "shared log", round);
  }

  void SharedItems(int round) {
    TParamsList set;
    set.Add("COMMAND", Variant::FromText("SET ITEMS"));
    set.Add("ITEMS", Variant::FromText(ItemsText(index_)));
    Check(Command(kSharedHandle, set) == 0, "shared SET ITEMS", round);
    TParamsList get;
    get.Add("COMMAND", Variant::FromText("ITEMS"));
    get.Add("RESULT", Variant::FromText(""));
    Check(Command(kSharedHandle, get) == 0, "shared ITEMS", round);
    Check(shared_items_->count(get.ValueByName("RESULT").ToText()) == 1, "shared ITEMS text is torn", round);
  }

  void SharedState(int round) {
    TParamsList state;
    state.Add("COMMAND", Variant::FromText("SET-STATE"));
    state.Add("SERIAL-PORTS-IN-CFG",
              Variant::FromText(std::to_string(index_) + ",7," + std::to_string(round)));
    state.Add("RESULT", Variant::FromInt(round % 2));
    state.Add("TYPE", Variant::FromInt(32));
    Check(Command(kSharedHandle, state) == 0, "shared SET-STATE", round);

    TParamsList events;
    events.Add("COMMAND", Variant::FromText("EVENTS-SUPPORT"));
    events.Add("RESULT", Variant::FromInt(-5));
    static constexpr const char* kLanguages[] = {"DE", "EN", "FR"};
    events.Add("LANGUAGE", Variant::FromText(kLanguages[(round + index_) % 3]));
    Check(Command(kSharedHandle, events) == 0, "shared EVENTS-SUPPORT", round);
    Check(events.ValueByName("RESULT").ToText().empty(), "EVENTS-SUPPORT text", round);
  }

  void SharedSettings(int round) {
    // A nested "LOAD"/"UNLOAD" pair: the main thread's own "LOAD" keeps the instance loaded throughout.
    Check(Command(kSharedHandle, "LOAD") == 0, "nested LOAD", round);
    // A reload reads and writes the stores (with a flush to disk each): now and then is enough here; the
    // settings test below hammers them.
    if (settings_calls_++ % 8 == 0) {
      Check(Command(kSharedHandle, "LOAD-SETTINGS-NOW") == 0, "LOAD-SETTINGS-NOW", round);
    }
    Check(Command(kSharedHandle, "UNLOAD") == 0, "nested UNLOAD", round);
    TParamsList dialog;
    dialog.Add("TYPE", Variant::FromInt(32));
    ::ShowOptionsDialog(kSharedHandle, Out(&dialog));
  }

  void Queries(int32_t handle, int round) {
    Check(::GetPluginInterfaceVersion(handle) == 3.0f, "interface version", round);
    Check(::GetAppMinVersion(handle) == 3.6f, "minimum version", round);
    const char* description = ::GetModuleDescription(handle);
    Check(description != nullptr && std::string_view(description) == "Deadband", "description", round);
    Check(::GetModuleType(handle) == 32, "module type", round);
    Check(::MultiThreadSupport(handle) == 1, "multi-thread support", round);
    char buffer[64];
    int32_t needed = -1;
    Check(::GetCustomCommands(handle, buffer, sizeof buffer, &needed) == 0 && needed == 0, "custom commands",
          round);
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    Check(::GetData(handle, 0, Out(&type32_), &data, &rows) == 0 && rows == nullptr, "GetData", round);
    ::TParamsList* events = nullptr;
    Check(::GetEvents(handle, 0, Out(&type32_), &events) == 0 && events != nullptr, "GetEvents lends", round);
    Check(::GetEvents(handle, 0, Out(&type32_), &events) == 0, "GetEvents acknowledges", round);
  }

  void Step(int round) {
    // A fixed mix per thread, shifted so that the threads do different things at the same moment.
    switch ((round + 3 * index_) % 10) {
      case 0:
      case 5:
        OwnFilter(round);
        break;
      case 1:
        SharedFilter(round);
        OwnFilter(round);
        break;
      case 2:
        OwnNoData(round);
        SharedNoData(round);
        break;
      case 3:
        SharedItems(round);
        break;
      case 4:
        OwnItems(round);
        SharedFilter(round);
        break;
      case 6:
        SharedState(round);
        break;
      case 7:
        Queries(kSharedHandle, round);
        Queries(own_, round);
        break;
      case 8:
        SharedSettings(round);
        break;
      default:
        SharedFilter(round);
        SharedNoData(round);
        break;
    }
  }

  int index_;
  int32_t own_;
  TRowsParamsList* shared_rows_ = nullptr;  // this thread's on the shared handle, taken by Run
  const std::set<std::string>* shared_items_;
  TRowsParamsList block_;
  TParamsList type32_;
  TParamsList type4_;
  int settings_calls_ = 0;
  bool has_reference_ = false;
  double reference_ = 0;
  int passes_ = 0;
  Findings findings_;
};

class ModuleStress : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
#if !defined(_WIN32)
    // The options dialog calls must find no display, or they would wait for a person.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      ::unsetenv(name);
#endif
    RegisterDeadbandPlugin();
  }
};

TEST_F(ModuleStress, ThreadsOnOwnAndSharedHandles) {
  std::set<std::string> shared_items = {""};
  for (int t = 0; t < kThreads; ++t)
    shared_items.insert(ItemsText(t));

  std::vector<int32_t> handles = {kSharedHandle};
  for (int t = 0; t < kThreads; ++t)
    handles.push_back(kOwnHandleBase + t);
  OneAbsoluteItemFile settings;
  ASSERT_TRUE(settings.ok());
  for (int32_t handle : handles) {
    TaPlugin* plugin = Plugin(handle);
    ASSERT_NE(plugin, nullptr) << handle;
    TParamsList load;
    load.Add("COMMAND", Variant::FromText("LOAD"));
    load.Add("INI-FILE", Variant::FromText(settings.path()));
    load.Add("ModuleIndex", Variant::FromInt(handle));
    ASSERT_EQ(::ExecutePluginCommand(handle, Out(&load)), 0);
    ASSERT_EQ(plugin->Filter().ItemCount(), 1u);
  }
  TRowsParamsList* shared_rows = Plugin(kSharedHandle)->ResultRows();
  ASSERT_NE(shared_rows, nullptr);

  std::vector<std::unique_ptr<Worker>> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.push_back(std::make_unique<Worker>(t, shared_rows, &shared_items));
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads)
        std::this_thread::yield();
      workers[static_cast<size_t>(t)]->Run();
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  for (const auto& worker : workers) {
    EXPECT_EQ(worker->findings().count, 0);
    for (const std::string& finding : worker->findings().first)
      ADD_FAILURE() << finding;
    EXPECT_GT(worker->passes(), 0);  // the own handles passed blocks, so rows were checked
  }

  // Still one loaded instance per handle after all that; then the last "UNLOAD" closes the data path.
  for (int32_t handle : handles) {
    TParamsList type;
    type.Add("TYPE", Variant::FromInt(4));
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    EXPECT_EQ(::ProcessData(handle, 0, Out(&type), &data, &rows), 0) << handle;
    TParamsList unload;
    unload.Add("COMMAND", Variant::FromText("UNLOAD"));
    EXPECT_EQ(::ExecutePluginCommand(handle, Out(&unload)), 0) << handle;
    EXPECT_EQ(::ProcessData(handle, 0, Out(&type), &data, &rows), -1) << handle;
    EXPECT_EQ(Plugin(handle)->ResultRows(), nullptr) << handle;
  }
}

// Instances on several threads that share one registry key save and reload their settings at once: every
// command succeeds, no save is torn, and in the end each instance reads one of the slots that were saved.
TEST_F(ModuleStress, SettingsSavedAndReloadedFromManyThreadsStayWhole) {
  constexpr int kSavers = 4;
  constexpr int kSaveRounds = 25;
  constexpr int32_t kFirstHandle = 500;
  testing::ScratchStore store("kvo-stress-shared-key", "kvo-test-stress-shared-key");
  const std::string key = store.KeyPath("shared");
  auto command = [](int32_t handle, const char* name) {
    TParamsList parameters;
    parameters.Add("COMMAND", Variant::FromText(name));
    return ::ExecutePluginCommand(handle, Out(&parameters));
  };
  for (int t = 0; t < kSavers; ++t) {
    TaPlugin* plugin = Plugin(kFirstHandle + t);
    ASSERT_NE(plugin, nullptr);
    TParamsList load;
    load.Add("COMMAND", Variant::FromText("LOAD"));
    load.Add("RegistryPath", Variant::FromText(key));
    ASSERT_EQ(::ExecutePluginCommand(kFirstHandle + t, Out(&load)), 0);
    std::lock_guard guard(*plugin);
    TfrmOption* form = plugin->SettingsForm();
    ASSERT_NE(form, nullptr);
    SetStrProp(*form->FindComponent("var1"), "Text", "t" + std::to_string(t));
    SetOrdProp(*form->FindComponent("type1"), "ItemIndex", 0);
    SetFloatProp(*form->FindComponent("val1"), "Value", t + 1);
  }
  std::atomic<int> failures{0};
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kSavers; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kSavers)
        std::this_thread::yield();
      const int32_t handle = kFirstHandle + t;
      TRowsParamsList block;
      block.Add("t0", Variant::FromDouble(t));
      TParamsList type;
      type.Add("TYPE", Variant::FromInt(32));
      for (int round = 0; round < kSaveRounds; ++round) {
        failures += command(handle, "SAVE-SETTINGS-NOW") != 0;
        if (round % 5 == 4) failures += command(handle, "LOAD-SETTINGS-NOW") != 0;
        void* data = &block;
        ::TParamsList* rows = nullptr;
        failures += ::ProcessData(handle, 0, Out(&type), &data, &rows) != 0;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(failures.load(), 0);

  const std::set<std::string> saved = {"t0", "t1", "t2", "t3"};
  for (int t = 0; t < kSavers; ++t) {
    const int32_t handle = kFirstHandle + t;
    ASSERT_EQ(command(handle, "LOAD-SETTINGS-NOW"), 0);
    TaPlugin* plugin = Plugin(handle);
    const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
    ASSERT_EQ(items.size(), 1u) << handle;
    EXPECT_EQ(saved.count(items[0].VarName), 1u) << items[0].VarName;
    EXPECT_EQ(command(handle, "UNLOAD"), 0);
  }
}

// One instance whose texts change language on one thread while other threads reload its settings form,
// filter through it and log its messages: the walk over the module's components never meets a form being
// rebuilt or a message being read.
TEST_F(ModuleStress, LanguageChangesWhileTheSettingsFormIsReloaded) {
  constexpr int32_t kHandle = 600;
  testing::ScratchStore store("kvo-stress-language", "kvo-test-stress-language");
  const std::string ini = store.File("settings.ini");
  TaPlugin* plugin = InstanceWithShippedLanguage(store, kHandle);
  ASSERT_NE(plugin, nullptr);
  ASSERT_FALSE(plugin->Transl()->LanguageFile.empty());
  auto command = [](const char* name, const std::vector<std::pair<std::string, std::string>>& texts) {
    return SendCommand(kHandle, name, texts);
  };
  ASSERT_EQ(command("LOAD", {{"INI-FILE", ini}}), 0);

  std::atomic<int> failures{0};
  std::thread languages([&] {
    static constexpr const char* kLanguages[] = {"DE", "FR", "EN"};
    for (int round = 0; round < 120; ++round)
      failures += command("EVENTS-SUPPORT", {{"LANGUAGE", kLanguages[round % 3]}}) != 0;
  });
  std::thread reloads([&] {
    for (int round = 0; round < 30; ++round)
      failures += command("LOAD-SETTINGS-NOW", {{"INI-FILE", ini}}) != 0;
  });
  std::thread data([&] {
    TRowsParamsList block;
    block.Add("v", Variant::FromDouble(1));
    TParamsList type;
    type.Add("TYPE", Variant::FromInt(32));
    TParamsList export_type;
    export_type.Add("TYPE", Variant::FromInt(4));
    for (int round = 0; round < 300; ++round) {
      void* in = &block;
      ::TParamsList* rows = nullptr;
      failures += ::ProcessData(kHandle, 0, Out(&type), &in, &rows) != 0;
      // No data in the export role: the log gets the message text the language change rewrites.
      in = nullptr;
      failures += ::ProcessData(kHandle, 0, Out(&export_type), &in, &rows) != 0;
    }
  });
  languages.join();
  reloads.join();
  data.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_EQ(command("UNLOAD", {{"INI-FILE", ini}}), 0);
}

// "LANGUAGE" on one thread while the options dialog is shown on another, whose view reads the dialog's
// captions and lists as it draws them, without the instance's lock: the translation passes the shown
// dialog by, and the dialog, confirmed, takes the language that came meanwhile.
TEST_F(ModuleStress, LanguageChangesWhileTheOptionsDialogIsShown) {
  constexpr int32_t kHandle = 610;
  testing::ScratchStore store("kvo-stress-dialog", "kvo-test-stress-dialog");
  const std::string ini = store.File("settings.ini");
  TaPlugin* plugin = InstanceWithShippedLanguage(store, kHandle);
  ASSERT_NE(plugin, nullptr);
  ASSERT_FALSE(plugin->Transl()->LanguageFile.empty());
  auto command = [](const char* name, const std::vector<std::pair<std::string, std::string>>& texts) {
    return SendCommand(kHandle, name, texts);
  };
  ASSERT_EQ(command("LOAD", {{"INI-FILE", ini}, {"LANGUAGE", "EN"}}), 0);

  std::atomic<bool> shown{false};
  std::atomic<bool> languages_done{false};
  std::set<std::string> captions_seen;
  // A drawing layer that repaints the dialog until the language changes are over, then confirms it.
  view::SetModalRunner([&](TCustomForm& form, std::string*) {
    auto& dialog = static_cast<TfrmOption&>(form);
    view::RunShownHook(&form);
    shown = true;
    auto* type1 = dynamic_cast<TComboBox*>(dialog.FindComponent("type1"));
    do {
      captions_seen.insert(dialog.Label2->Caption + "|" + dialog.gbDB->Caption + "|" +
                           dialog.btnCancel->Caption + "|" +
                           (type1 != nullptr ? type1->Items().Text() : std::string()));
    } while (!languages_done.load());
    dialog.btnOK->Click();
    if (!view::CloseModal(form)) {
      ADD_FAILURE() << "the confirmed settings were not saved";
      dialog.btnCancel->Click();
      view::CloseModal(form);
    }
    return true;
  });
  std::atomic<int> failures{0};
  std::thread languages([&] {
    while (!shown.load())
      std::this_thread::yield();
    static constexpr const char* kLanguages[] = {"FR", "EN", "DE"};
    for (int round = 0; round < 60; ++round)
      failures += command("EVENTS-SUPPORT", {{"LANGUAGE", kLanguages[round % 3]}}) != 0;
    languages_done = true;
  });
  ::ShowOptionsDialog(kHandle, nullptr);
  languages.join();
  view::SetModalRunner({});
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(captions_seen.size(), 1u) << "the shown dialog's texts never changed under the view";
  {
    std::lock_guard guard(*plugin);
    ASSERT_NE(plugin->SettingsForm(), nullptr);
    EXPECT_EQ(plugin->SettingsForm()->Label2->Caption, "Beziehung zwischen den Variablen")
        << "the confirmed dialog speaks the language that came while it was shown";
  }
  EXPECT_EQ(plugin->Filter().ItemCount(), 1u);
  EXPECT_EQ(command("UNLOAD", {{"INI-FILE", ini}}), 0);
}

TEST_F(ModuleStress, FirstCallsFromManyThreadsMakeOneInstancePerHandle) {
  constexpr int kCallers = 6;
  constexpr int32_t kFirstHandle = 400;
  constexpr int kHandles = 8;
  std::atomic<int> ready{0};
  std::vector<std::vector<TkvoPlugin*>> seen(kCallers, std::vector<TkvoPlugin*>(kHandles, nullptr));
  std::vector<int> wrong(kCallers, 0);
  std::vector<std::thread> threads;
  for (int c = 0; c < kCallers; ++c) {
    threads.emplace_back([&, c] {
      ready.fetch_add(1);
      while (ready.load() < kCallers)
        std::this_thread::yield();
      for (int k = 0; k < kHandles; ++k) {
        // Each caller walks the new handles in its own order; the first call on a handle makes it.
        const int32_t handle = kFirstHandle + (k + c) % kHandles;
        wrong[static_cast<size_t>(c)] += ::GetModuleType(handle) != 32;
        TkvoPlugin* instance = nullptr;
        wrong[static_cast<size_t>(c)] += !GetPluginInstance(handle, nullptr, &instance);
        seen[static_cast<size_t>(c)][static_cast<size_t>(handle - kFirstHandle)] = instance;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  std::set<TkvoPlugin*> distinct;
  for (int c = 0; c < kCallers; ++c) {
    EXPECT_EQ(wrong[static_cast<size_t>(c)], 0) << "caller " << c;
    for (int k = 0; k < kHandles; ++k) {
      EXPECT_EQ(seen[static_cast<size_t>(c)][static_cast<size_t>(k)], seen[0][static_cast<size_t>(k)])
          << "caller " << c << " handle " << kFirstHandle + k;
    }
  }
  for (int k = 0; k < kHandles; ++k) {
    ASSERT_NE(seen[0][static_cast<size_t>(k)], nullptr);
    EXPECT_EQ(seen[0][static_cast<size_t>(k)]->Handle(), kFirstHandle + k);
    distinct.insert(seen[0][static_cast<size_t>(k)]);
  }
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kHandles));
}

// --- A bounded load on every entry point at once ---

// A command list built in place: Command("LOAD").Text("INI-FILE", path).On(handle).
class Command {
 public:
  explicit Command(const char* name) { list_.Add("COMMAND", Variant::FromText(name)); }
  Command& Text(const char* name, const std::string& text) {
    list_.Add(name, Variant::FromText(text));
    return *this;
  }
  Command& Int(const char* name, int32_t value) {
    list_.Add(name, Variant::FromInt(value));
    return *this;
  }
  int32_t On(int32_t handle) { return ::ExecutePluginCommand(handle, Out(&list_)); }
  std::string Result() const { return list_.ValueByName("RESULT").ToText(); }

 private:
  TParamsList list_;
};

struct DataCall {
  int32_t result;
  TParamsList* rows;
  bool data_cleared;  // the host's Data variable is null again
};

DataCall Data(int32_t handle, int32_t type, TParamsList* block) {
  TParamsList parameters;
  parameters.Add("TYPE", Variant::FromInt(type));
  void* data = block;
  ::TParamsList* rows = nullptr;
  const int32_t result = ::ProcessData(handle, 0, Out(&parameters), &data, &rows);
  return {result, In(rows), data == nullptr};
}

struct LogFetch {
  bool protocol_kept;  // copied all of it, or nothing because it did not fit
  std::string text;
};

LogFetch FetchLog(int32_t handle) {
  char buffer[4096];
  int32_t needed = -1;
  const int32_t copied = ::GetLogEx(handle, buffer, sizeof buffer, &needed);
  const bool kept = needed >= 0 && (copied == needed || (copied == 0 && needed > int32_t{sizeof buffer}));
  return {kept, std::string(buffer, copied > 0 ? static_cast<size_t>(copied) : 0)};
}

// What a lone host sees of one absolute band on "v": the first block passes, then each block whose value
// has moved by the band from the last one passed.
class AbsoluteBand {
 public:
  bool Next(double value) {
    const bool passes = !has_reference_ || std::fabs(value - reference_) >= kBand;
    if (passes) {
      reference_ = value;
      has_reference_ = true;
    }
    return passes;
  }

 private:
  bool has_reference_ = false;
  double reference_ = 0;
};

constexpr const char* kLanguages[] = {"EN", "DE", "FR"};

// The module's two data messages as whole log lines, in each language of its language file.
struct MessageLines {
  std::string no_data[3];
  std::string complete[3];

  // A log as a handle that many threads use may hold: whole lines of these messages, plain or folded
  // ("<text> {<n> time(s)}||<code>", n >= 2), each fold followed by a line break that leaves an empty line
  // before the next entry.
  bool IsPossibleLog(std::string_view log) const {
    bool after_fold = false;
    size_t start = 0;
    while (start < log.size()) {
      size_t end = log.find("\r\n", start);
      if (end == std::string_view::npos) end = log.size();
      const std::string_view line = log.substr(start, end - start);
      start = end + 2;
      if (line.empty()) {
        if (!after_fold) return false;
        after_fold = false;
        continue;
      }
      after_fold = false;
      if (IsMessage(line)) continue;
      constexpr std::string_view kTail = " time(s)}||";
      const size_t tail = line.rfind(kTail);
      const size_t open = tail == std::string_view::npos ? tail : line.rfind(" {", tail);
      if (open == std::string_view::npos) return false;
      const std::string_view count = line.substr(open + 2, tail - open - 2);
      if (count.empty() || count.find_first_not_of("0123456789") != std::string_view::npos ||
          count[0] == '0' || count == "1") {
        return false;
      }
      const std::string plain =
          std::string(line.substr(0, open)) + "||" + std::string(line.substr(tail + kTail.size()));
      if (!IsMessage(plain)) return false;
      // A fold always ends with a line break.
      if (end == log.size()) return false;
      after_fold = true;
    }
    return true;
  }

 private:
  bool IsMessage(std::string_view line) const {
    for (int l = 0; l < 3; ++l) {
      if (line == no_data[l] || line == complete[l]) return true;
    }
    return false;
  }
};

// Fails the test instead of letting ctest hang when the workers do not finish: past the bound it names
// the stall and aborts the process.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds bound)
      : thread_([this, bound] {
          std::unique_lock lock(mutex_);
          if (!done_changed_.wait_for(lock, bound, [this] { return done_; })) {
            std::fprintf(stderr, "the workers did not finish within %lld s: a deadlock or a lost wake-up\n",
                         static_cast<long long>(bound.count()));
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard guard(mutex_);
      done_ = true;
    }
    done_changed_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  std::thread thread_;
};

// Points the instances made meanwhile at a module file beside the language file under test.
class OwnModulePathOverride {
 public:
  explicit OwnModulePathOverride(const std::string& path)
      : previous_(platform::OverrideOwnModulePath(path)) {}
  ~OwnModulePathOverride() { platform::OverrideOwnModulePath(previous_); }
  OwnModulePathOverride(const OwnModulePathOverride&) = delete;
  OwnModulePathOverride& operator=(const OwnModulePathOverride&) = delete;

 private:
  std::string previous_;
};

// Everything the load's threads share; fixed before they start.
struct LoadSetup {
  int32_t shared = 0;
  int32_t own_base = 0;    // data thread t owns own_base + t
  int32_t fresh_base = 0;  // the lifecycle thread's instances, one new handle per round
  std::string settings_ini;
  std::string save_ini;
  std::string registry_path;
  TRowsParamsList* shared_rows = nullptr;
  std::set<std::string> item_texts;  // what "ITEMS" on the shared handle may answer
  MessageLines lines;
};

class LoadWorker {
 public:
  LoadWorker(std::string name, const LoadSetup& setup) : name_(std::move(name)), setup_(setup) {}
  virtual ~LoadWorker() = default;
  virtual void Run() = 0;
  const Findings& findings() const { return findings_; }
  const std::string& name() const { return name_; }

 protected:
  void Check(bool ok, const char* what, int round, int64_t detail = 0) {
    if (!ok) {
      findings_.Add(name_ + " round " + std::to_string(round) + ": " + what + " (" + std::to_string(detail) +
                    ")");
    }
  }

  // One nested "LOAD"/"UNLOAD" pair on the shared handle around `work`: the test's own "LOAD" keeps the
  // count above zero, so the data threads never see the instance unloaded.
  template <typename Work>
  void NestedOnShared(int round, Work work) {
    Check(Command("LOAD").On(setup_.shared) == 0, "nested LOAD", round);
    TaPlugin* shared = Plugin(setup_.shared);
    Check(shared != nullptr && shared->LoadCount() >= 2, "load count under a nested LOAD", round,
          shared ? shared->LoadCount() : -1);
    work();
    Check(Command("UNLOAD").On(setup_.shared) == 0, "nested UNLOAD", round);
  }

  void CheckSharedItems(int round) {
    Command items("ITEMS");
    items.Text("RESULT", "");
    Check(items.On(setup_.shared) == 0, "shared ITEMS", round);
    Check(setup_.item_texts.count(items.Result()) == 1, "shared ITEMS text is torn", round);
  }

  void CheckSharedLog(int round) {
    const LogFetch log = FetchLog(setup_.shared);
    Check(log.protocol_kept, "shared GetLogEx sizes", round);
    Check(setup_.lines.IsPossibleLog(log.text), "shared log is torn", round,
          static_cast<int64_t>(log.text.size()));
  }

  std::string name_;
  const LoadSetup& setup_;
  Findings findings_;
};

// Filters and fetches logs on its own handle, where every answer must be a lone host's, and on the shared
// handle, where any answer the module may give is fine.
class DataWorker : public LoadWorker {
 public:
  static constexpr int kRounds = 1600;

  DataWorker(int index, const LoadSetup& setup)
      : LoadWorker("data " + std::to_string(index), setup), index_(index), own_(setup.own_base + index) {
    block_.Add("v", Variant::FromDouble(0));
    block_.Add("thread", Variant::FromInt(index));
    block_.Add("site", Variant::FromText("site " + std::to_string(index)));
    block_.NewRow();
  }

  void Run() override {
    TaPlugin* own = Plugin(own_);
    own_rows_ = own ? own->ResultRows() : nullptr;
    Check(own_rows_ != nullptr, "own handle has result rows", -1);
    TaPlugin* shared = Plugin(setup_.shared);
    shared_rows_ = shared ? shared->ResultRows() : nullptr;
    Check(shared_rows_ != nullptr, "shared handle has result rows for this thread", -1);
    for (int round = 0; round < kRounds; ++round)
      Step(round);
  }
  int passed() const { return passed_; }
  int dropped() const { return dropped_; }

 private:
  void SetValue(double value) { block_.Element(0)->SetValue(Variant::FromDouble(value)); }

  // Types that run the filter: 32 filter, 4 export, 1 data query, 36 export and filter.
  void OwnFilter(int round, int32_t type) {
    // Steps of 3 on a band of 5: passes and drops alternate.
    const double value = static_cast<double>((own_calls_++ * 3 + index_) % 11);
    SetValue(value);
    const bool expected = model_.Next(value);
    const DataCall call = Data(own_, type, &block_);
    Check(call.result == 0 && call.data_cleared, "own filter result", round, call.result);
    Check((call.rows != nullptr) == expected, expected ? "own block dropped" : "own block passed", round,
          type);
    if (call.rows) {
      Check(call.rows == own_rows_ && call.rows->Count() == block_.Count() &&
                call.rows->Element(0)->Value().ToDouble() == value &&
                call.rows->Element(2)->Value().ToText() == block_.Element(2)->Value().ToText() &&
                call.rows->Element(3)->IsRowMarker(),
            "own rows differ from the block", round, call.rows->Count());
    }
    expected ? ++passed_ : ++dropped_;
    // Only the export role logs, and in the language the own handle was never told to change.
    const LogFetch log = FetchLog(own_);
    const bool export_role = (type & 4) != 0;
    Check(log.protocol_kept && log.text == (export_role ? setup_.lines.complete[0] : std::string()),
          "own log", round, type);
  }

  void OwnWithoutData(int round) {
    DataCall call = Data(own_, 4, nullptr);
    Check(call.result == 0 && call.rows == nullptr && call.data_cleared, "own no-data call", round);
    LogFetch log = FetchLog(own_);
    Check(log.protocol_kept && log.text == setup_.lines.no_data[0], "own no-data log", round);
    // No type: nothing runs, the filter is not stepped and the log starts afresh.
    Data(own_, 4, nullptr);
    call = Data(own_, 0, &block_);
    Check(call.result == 0 && call.rows == nullptr && call.data_cleared, "own call without type", round);
    log = FetchLog(own_);
    Check(log.protocol_kept && log.text.empty(), "own log after a call without type", round);
  }

  void OwnItems(int round) {
    const std::string text = ItemsText(100 + index_) + (round % 2 ? "" : "\r\nw|Extra|String|");
    Check(Command("SET ITEMS").Text("ITEMS", text).On(own_) == 0, "own SET ITEMS", round);
    Command items("ITEMS");
    items.Text("RESULT", "");
    Check(items.On(own_) == 0 && items.Result() == text, "own ITEMS", round);
  }

  void Shared(int round, int32_t type, bool with_block) {
    SetValue(static_cast<double>(round % 40));
    const DataCall call = Data(setup_.shared, type, with_block ? &block_ : nullptr);
    Check(call.result == 0 && call.data_cleared, "shared data result", round, call.result);
    Check(call.rows == nullptr || call.rows == shared_rows_, "shared rows are not the instance's", round);
    Check(call.rows == nullptr ||
              (call.rows->Count() == block_.Count() && call.rows->Element(1)->Value().ToInt() == index_),
          "shared rows hold another call's block", round);
  }

  void Step(int round) {
    // A fixed mix, shifted per thread so that the threads do different things at the same moment.
    switch ((round + 3 * index_) % 8) {
      case 0:
        OwnFilter(round, 32);
        Shared(round, 32, true);
        break;
      case 1:
        OwnFilter(round, 4);
        Shared(round, 4, false);
        CheckSharedLog(round);
        break;
      case 2:
        OwnWithoutData(round);
        Shared(round, 4, true);
        break;
      case 3:
        Shared(round, 36, true);
        CheckSharedLog(round);
        OwnFilter(round, 1);
        break;
      case 4:
        OwnItems(round);
        CheckSharedItems(round);
        break;
      case 5:
        OwnFilter(round, 36);
        Shared(round, 0, true);
        break;
      case 6:
        Shared(round, 4, false);
        Shared(round, 4, false);
        CheckSharedLog(round);
        break;
      default:
        OwnFilter(round, 32);
        CheckSharedLog(round);
        break;
    }
  }

  int index_;
  int32_t own_;
  TRowsParamsList* own_rows_ = nullptr;
  TRowsParamsList* shared_rows_ = nullptr;  // this thread's on the shared handle
  TRowsParamsList block_;
  AbsoluteBand model_;
  int own_calls_ = 0;
  int passed_ = 0;
  int dropped_ = 0;
};

// Instances that come and go on handles of their own (loaded from the INI file or the registry store
// that the shared handle rewrites meanwhile), inside nested loads of the shared handle.
class LifecycleWorker : public LoadWorker {
 public:
  static constexpr int kRounds = 16;

  explicit LifecycleWorker(const LoadSetup& setup) : LoadWorker("lifecycle", setup) {}

  void Run() override {
    for (int round = 0; round < kRounds; ++round) {
      NestedOnShared(round, [&] {
        Cycle(round);
        // Now and then a save to the registry store, while the settings thread saves to files.
        if (round % 2 == 1) {
          Check(Command("SAVE-SETTINGS-NOW").On(setup_.shared) == 0, "SAVE-SETTINGS-NOW to the registry",
                round);
        }
      });
    }
  }

 private:
  void Cycle(int round) {
    const int32_t handle = setup_.fresh_base + round;
    // Half from the INI file, half from the registry store; "UNLOAD" names the file of "LOAD", as a host
    // does, so it saves nothing.
    const bool from_file = round % 2 == 0;
    auto command = [&](const char* name) {
      Command call(name);
      call.Int("ModuleIndex", round);
      from_file ? call.Text("INI-FILE", setup_.settings_ini)
                : call.Text("RegistryPath", setup_.registry_path);
      return call.On(handle);
    };
    Check(command("LOAD") == 0, "LOAD", round);
    TaPlugin* plugin = Plugin(handle);
    Check(plugin != nullptr && plugin->Handle() == handle, "instance of the new handle", round);
    if (!plugin) return;
    // The stores are rewritten by the shared handle at the same time; a load reads one whole save.
    const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
    Check(items.size() == 1 && items[0].VarName == "v" && items[0].Band == kBand, "settings read whole",
          round, static_cast<int64_t>(items.size()));
    Check(::GetModuleType(handle) == 32 && ::MultiThreadSupport(handle) == 1, "queries", round);

    TRowsParamsList block;
    block.Add("v", Variant::FromDouble(0));
    block.NewRow();
    AbsoluteBand model;
    for (double value : {0.0, 3.0, 8.0, 4.0, -1.0}) {
      block.Element(0)->SetValue(Variant::FromDouble(value));
      const bool expected = model.Next(value);
      const DataCall call = Data(handle, 32, &block);
      Check(call.result == 0 && (call.rows != nullptr) == expected, "new instance filters alone", round,
            static_cast<int64_t>(value));
    }
    Check(Data(handle, 4, nullptr).result == 0, "no-data call", round);
    const LogFetch log = FetchLog(handle);
    Check(log.protocol_kept && log.text == setup_.lines.no_data[0], "new instance log", round);

    Check(command("UNLOAD") == 0, "UNLOAD", round);
    Check(Data(handle, 32, &block).result == -1, "data call after the last UNLOAD", round);
    Check(plugin->ResultRows() == nullptr, "rows released by the last UNLOAD", round);
    // A later "LOAD" recreates the lists, but the data calls keep refusing the instance.
    Check(command("LOAD") == 0 && plugin->ResultRows() != nullptr, "LOAD after UNLOAD", round);
    Check(Data(handle, 32, &block).result == -1, "data call after a reload", round);
    Check(command("UNLOAD") == 0 && plugin->ResultRows() == nullptr, "second UNLOAD", round);
  }
};

// Saves the shared handle's settings to a second INI file and reloads them from the first, inside nested
// loads.
class SettingsWorker : public LoadWorker {
 public:
  static constexpr int kRounds = 16;

  explicit SettingsWorker(const LoadSetup& setup) : LoadWorker("settings", setup) {}

  void Run() override {
    for (int round = 0; round < kRounds; ++round) {
      NestedOnShared(round, [&] {
        if (round % 2 == 0) {
          Check(Command("SAVE-SETTINGS-NOW").Text("INI-FILE", setup_.save_ini).On(setup_.shared) == 0,
                "SAVE-SETTINGS-NOW to a file", round);
        } else {
          Check(Command("LOAD-SETTINGS-NOW").Text("INI-FILE", setup_.settings_ini).On(setup_.shared) == 0,
                "LOAD-SETTINGS-NOW", round);
        }
      });
    }
  }
};

// Replaces the shared handle's item definitions and switches its language, reading both back.
class ItemsWorker : public LoadWorker {
 public:
  static constexpr int kRounds = 240;

  explicit ItemsWorker(const LoadSetup& setup) : LoadWorker("items", setup) {}

  void Run() override {
    for (int round = 0; round < kRounds; ++round) {
      const char* language = kLanguages[(round / 2) % 3];
      Check(Command("SET ITEMS")
                    .Text("ITEMS", ItemsText(round % 8))
                    .Text("LANGUAGE", language)
                    .On(setup_.shared) == 0,
            "shared SET ITEMS", round);
      CheckSharedItems(round);
      if (round % 5 == 0) {
        Command events("EVENTS-SUPPORT");
        events.Text("LANGUAGE", kLanguages[round % 3]).Int("RESULT", -5);
        Check(events.On(setup_.shared) == 0 && events.Result().empty(), "EVENTS-SUPPORT", round);
      }
      TaPlugin* shared = Plugin(setup_.shared);
      const std::string now = shared ? shared->Language() : std::string();
      Check(now == "EN" || now == "DE" || now == "FR", "shared language", round);
      CheckSharedLog(round);
    }
  }
};

// The instance's no-data and completion lines in each language, from a probe instance on its own.
bool ProbeMessageLines(int32_t handle, const std::string& ini, MessageLines* lines) {
  if (Command("LOAD").Text("INI-FILE", ini).On(handle) != 0) return false;
  TRowsParamsList block;
  block.Add("v", Variant::FromDouble(0));
  block.NewRow();
  for (int l = 0; l < 3; ++l) {
    if (Command("EVENTS-SUPPORT").Text("LANGUAGE", kLanguages[l]).On(handle) != 0) return false;
    Data(handle, 4, nullptr);
    lines->no_data[l] = FetchLog(handle).text;
    Data(handle, 4, &block);
    lines->complete[l] = FetchLog(handle).text;
  }
  return Command("UNLOAD").On(handle) == 0;
}

// The items an instance loads from a store, read by a fresh instance on its own.
std::vector<TDeadBandListItem> ItemsLoadedFrom(int32_t handle, const char* parameter,
                                               const std::string& value) {
  if (Command("LOAD").Text(parameter, value).On(handle) != 0) return {};
  TaPlugin* plugin = Plugin(handle);
  std::vector<TDeadBandListItem> items = plugin ? plugin->Filter().Items() : std::vector<TDeadBandListItem>();
  Command("UNLOAD").Text(parameter, value).On(handle);
  return items;
}

// Control threads make and drop instances, nest loads on a shared handle, save and reload its settings
// (INI files and the registry store), replace its items and switch its language, while data threads
// filter and fetch logs on it and on handles of their own. Every answer must be one the module may give,
// the own handles must answer as if alone, and afterwards the shared handle, its stores and its language
// are as they should be.
TEST_F(ModuleStress, LoadOnEveryEntryPointFromControlAndDataThreads) {
  constexpr int kDataThreads = 3;
  // Handles are never freed and an unloaded one stays refused, so each run takes new ones.
  static int runs = 0;
  const int32_t base = 10000 + 1000 * runs++;

  testing::ScratchStore store("kvo-stress-load", "kvo-test-stress-load");
  std::ifstream shipped(KVO_SHIPPED_LANGUAGE_FILE, std::ios::binary);
  ASSERT_TRUE(testing::WriteTextFile(
      store.File("deadband.lng"),
      std::string(std::istreambuf_iterator<char>(shipped), std::istreambuf_iterator<char>())));
  LoadSetup setup;
  setup.shared = base;
  setup.own_base = base + 1;
  setup.fresh_base = base + 100;
  setup.settings_ini = store.File("settings.ini");
  setup.save_ini = store.File("saved.ini");
  setup.registry_path = store.KeyPath("load");
  ASSERT_TRUE(testing::WriteTextFile(setup.settings_ini, testing::DeadbandIniText(0, {{"v", 0, kBand}})));
  setup.item_texts = {""};
  for (int k = 0; k < 8; ++k)
    setup.item_texts.insert(ItemsText(k));
  // Every instance of this test reads the language file beside the module file it is made with.
  OwnModulePathOverride module_path(store.File("deadband.module"));

  ASSERT_TRUE(ProbeMessageLines(base + 50, setup.settings_ini, &setup.lines));
  ASSERT_EQ(setup.lines.no_data[0], kNoDataLine);
  ASSERT_EQ(setup.lines.complete[0], "Deadband. Data have been processed successful||2");
  for (int l = 1; l < 3; ++l) {
    // Translated, so a log in a language a thread did not expect would show.
    ASSERT_NE(setup.lines.no_data[l], setup.lines.no_data[0]) << kLanguages[l];
    ASSERT_NE(setup.lines.complete[l], setup.lines.complete[0]) << kLanguages[l];
  }

  ASSERT_EQ(Command("LOAD")
                .Text("INI-FILE", setup.settings_ini)
                .Text("RegistryPath", setup.registry_path)
                .Int("ModuleIndex", 1)
                .On(setup.shared),
            0);
  // The registry store starts with the same settings, for the instances that load from it.
  ASSERT_EQ(Command("SAVE-SETTINGS-NOW").On(setup.shared), 0);
  for (int t = 0; t < kDataThreads; ++t)
    ASSERT_EQ(Command("LOAD").Text("INI-FILE", setup.settings_ini).On(setup.own_base + t), 0);
  setup.shared_rows = Plugin(setup.shared)->ResultRows();
  ASSERT_NE(setup.shared_rows, nullptr);

  std::vector<std::unique_ptr<LoadWorker>> workers;
  std::vector<DataWorker*> data_workers;
  for (int t = 0; t < kDataThreads; ++t) {
    auto worker = std::make_unique<DataWorker>(t, setup);
    data_workers.push_back(worker.get());
    workers.push_back(std::move(worker));
  }
  workers.push_back(std::make_unique<LifecycleWorker>(setup));
  workers.push_back(std::make_unique<SettingsWorker>(setup));
  workers.push_back(std::make_unique<ItemsWorker>(setup));
  {
    // Far above what the work takes under ThreadSanitizer on a busy machine.
    Watchdog watchdog(std::chrono::seconds(150));
    std::atomic<size_t> ready{0};
    std::vector<std::thread> threads;
    for (const auto& worker : workers) {
      threads.emplace_back([&, w = worker.get()] {
        ready.fetch_add(1);
        while (ready.load() < workers.size())
          std::this_thread::yield();
        w->Run();
      });
    }
    for (std::thread& thread : threads)
      thread.join();
  }

  for (const auto& worker : workers) {
    EXPECT_EQ(worker->findings().count, 0) << worker->name();
    for (const std::string& finding : worker->findings().first)
      ADD_FAILURE() << finding;
  }
  for (const DataWorker* worker : data_workers) {
    // Both branches of the own handles' checks ran.
    EXPECT_GT(worker->passed(), 0);
    EXPECT_GT(worker->dropped(), 0);
  }

  // The shared handle is loaded once again, still points at its own settings file, and still translates.
  TaPlugin* shared = Plugin(setup.shared);
  EXPECT_EQ(shared->LoadCount(), 1);
  EXPECT_EQ(shared->INIFile(), setup.settings_ini);
  EXPECT_EQ(shared->ResultRows(), setup.shared_rows);
  for (int l : {1, 0, 2}) {
    ASSERT_EQ(Command("EVENTS-SUPPORT").Text("LANGUAGE", kLanguages[l]).On(setup.shared), 0);
    EXPECT_EQ(Data(setup.shared, 4, nullptr).result, 0);
    EXPECT_EQ(FetchLog(setup.shared).text, setup.lines.no_data[l]) << kLanguages[l];
  }
  // Every store holds one whole save.
  const std::pair<const char*, std::string> stores[] = {
      {"INI-FILE", setup.settings_ini}, {"INI-FILE", setup.save_ini}, {"RegistryPath", setup.registry_path}};
  int32_t checker = base + 60;
  for (const auto& [parameter, value] : stores) {
    const std::vector<TDeadBandListItem> items = ItemsLoadedFrom(checker++, parameter, value);
    ASSERT_EQ(items.size(), 1u) << value;
    EXPECT_EQ(items[0].VarName, "v") << value;
    EXPECT_EQ(items[0].Band, kBand) << value;
  }

  std::vector<int32_t> handles = {setup.shared};
  for (int t = 0; t < kDataThreads; ++t)
    handles.push_back(setup.own_base + t);
  for (int32_t handle : handles) {
    EXPECT_EQ(Command("UNLOAD").Text("INI-FILE", setup.settings_ini).On(handle), 0);
    EXPECT_EQ(Data(handle, 32, nullptr).result, -1) << handle;
  }
}

// "SAVE-SETTINGS-NOW" and "LOAD-SETTINGS-NOW" point the instance at the named store only for the command.
// Sent from several threads at once, to different stores, they must still leave it pointing at its own.
TEST_F(ModuleStress, SettingsCommandsFromManyThreadsLeaveTheInstancesOwnFile) {
  constexpr int kSenders = 3;
  constexpr int kCommandRounds = 16;
  static int runs = 0;
  const int32_t handle = 20000 + runs++;
  testing::ScratchStore store("kvo-stress-settings-file", "kvo-test-stress-settings-file");
  const std::string own = store.File("own.ini");
  ASSERT_TRUE(testing::WriteTextFile(own, testing::DeadbandIniText(0, {{"v", 0, kBand}})));
  ASSERT_EQ(Command("LOAD").Text("INI-FILE", own).Text("RegistryPath", store.KeyPath("own")).On(handle), 0);

  std::atomic<int> failures{0};
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kSenders; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kSenders)
        std::this_thread::yield();
      // One thread saves to the registry store (no file), the others each to a file of its own or
      // reload from the own file.
      const std::string file = t == 0 ? std::string() : store.File("other" + std::to_string(t) + ".ini");
      for (int round = 0; round < kCommandRounds; ++round) {
        Command command(t == 2 && round % 2 ? "LOAD-SETTINGS-NOW" : "SAVE-SETTINGS-NOW");
        if (t == 2 && round % 2) {
          command.Text("INI-FILE", own);
        } else if (!file.empty()) {
          command.Text("INI-FILE", file);
        }
        failures += command.On(handle) != 0;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(failures.load(), 0);
  TaPlugin* plugin = Plugin(handle);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->INIFile(), own);
  EXPECT_EQ(Command("UNLOAD").Text("INI-FILE", own).On(handle), 0);
}

// What the options dialog does when the user confirms it: the form loads the store when it is made,
// takes the user's variable, saves every key when it closes with OK and becomes the settings form.
void ConfirmOptions(TaPlugin& plugin, const std::string& variable) {
  TfrmOption* form = nullptr;
  {
    std::lock_guard guard(plugin);
    form = Create<TfrmOption>(&plugin);
  }
  SetStrProp(*form->FindComponent("var1"), "Text", variable);
  SetOrdProp(*form->FindComponent("type1"), "ItemIndex", 0);
  form->ModalResult = mrOk;
  form->Close();
  plugin.AdoptSettingsForm(form);
}

std::string StoredVariable(const std::string& ini_file) {
  return TBigIniFile(ini_file).ReadString("Common", "Var1", "?");
}

// While "SAVE-SETTINGS-NOW" names another file on one thread, the user confirms the options dialog on
// another: each confirmation lands in the instance's own file at once, and the dialog never reads the
// command's file.
TEST_F(ModuleStress, OptionsConfirmedDuringASettingsCommandLandInTheOwnFile) {
  constexpr int kConfirmations = 30;
  constexpr int32_t kHandle = 21000;
  testing::ScratchStore store("kvo-stress-confirm", "kvo-test-stress-confirm");
  const std::string own = store.File("own.ini");
  const std::string other = store.File("other.ini");
  ASSERT_TRUE(testing::WriteTextFile(own, testing::DeadbandIniText(0, {{"v", 0, kBand}})));
  ASSERT_EQ(Command("LOAD").Text("INI-FILE", own).On(kHandle), 0);
  TaPlugin* plugin = Plugin(kHandle);
  ASSERT_NE(plugin, nullptr);

  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread commands([&] {
    while (!done.load())
      failures += Command("SAVE-SETTINGS-NOW").Text("INI-FILE", other).On(kHandle) != 0;
  });
  std::vector<std::string> misplaced;
  for (int round = 0; round < kConfirmations; ++round) {
    const std::string user = "user" + std::to_string(round);
    ConfirmOptions(*plugin, user);
    if (StoredVariable(own) != user) misplaced.push_back(user);
  }
  done.store(true);
  commands.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(misplaced, std::vector<std::string>{}) << "confirmed settings missing from the own file";
  const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].VarName, "user" + std::to_string(kConfirmations - 1));
  EXPECT_EQ(plugin->INIFile(), own);
  EXPECT_EQ(Command("UNLOAD").Text("INI-FILE", own).On(kHandle), 0);
}

// A host's first "LOAD" while settings commands name another file for the same handle: the instance
// loads its own file, and the commands' file only ever receives what the instance holds.
TEST_F(ModuleStress, FirstLoadDuringSettingsCommandsReadsTheOwnFile) {
  constexpr int kLoads = 24;
  constexpr int32_t kFirstHandle = 21100;
  testing::ScratchStore store("kvo-stress-first-load", "kvo-test-stress-first-load");
  const std::string own = store.File("own.ini");
  ASSERT_TRUE(testing::WriteTextFile(own, testing::DeadbandIniText(0, {{"own", 0, kBand}})));
  std::vector<std::string> wrong;
  int failures = 0;
  for (int round = 0; round < kLoads; ++round) {
    const int32_t handle = kFirstHandle + round;
    const std::string other = store.File("other" + std::to_string(round) + ".ini");
    ASSERT_TRUE(testing::WriteTextFile(other, testing::DeadbandIniText(0, {{"other", 0, kBand}})));
    std::atomic<bool> loaded{false};
    std::atomic<bool> started{false};
    std::atomic<int> command_failures{0};
    std::thread commands([&] {
      started.store(true);
      for (int n = 0; n < 2000 && !loaded.load(); ++n)
        command_failures += Command("SAVE-SETTINGS-NOW").Text("INI-FILE", other).On(handle) != 0;
    });
    while (!started.load())
      std::this_thread::yield();
    failures += Command("LOAD").Text("INI-FILE", own).On(handle) != 0;
    loaded.store(true);
    commands.join();
    failures += command_failures.load();
    TaPlugin* plugin = Plugin(handle);
    ASSERT_NE(plugin, nullptr);
    const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
    const std::string name = items.size() == 1 ? items[0].VarName : "items: " + std::to_string(items.size());
    if (name != "own") wrong.push_back(std::to_string(round) + ": " + name);
    const std::string saved = StoredVariable(other);
    if (saved != "own" && saved != "other") wrong.push_back(std::to_string(round) + " saved " + saved);
    failures += Command("UNLOAD").Text("INI-FILE", own).On(handle) != 0;
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(wrong, std::vector<std::string>{});
  EXPECT_EQ(StoredVariable(own), "own") << "no command wrote the own file";
}

// Loads `handle` with one absolute item of band 0 on "v", so that every block passes.
void LoadBandZero(int32_t handle, const OneAbsoluteItemFile& settings) {
  TParamsList load;
  load.Add("COMMAND", Variant::FromText("LOAD"));
  load.Add("INI-FILE", Variant::FromText(settings.path()));
  ASSERT_EQ(::ExecutePluginCommand(handle, Out(&load)), 0);
}

// Several threads on ONE handle, every block passing and tagged with its thread: each call is lent rows
// holding its own block, which stay intact while the other threads go on calling.
TEST_F(ModuleStress, ThreadsOnOneHandleEachGetRowsOfTheirOwnBlock) {
  constexpr int32_t kHandle = 390;
  constexpr int kCalls = 1500;
  OneAbsoluteItemFile settings(0);
  ASSERT_TRUE(settings.ok());
  ASSERT_NE(Plugin(kHandle), nullptr);
  LoadBandZero(kHandle, settings);
  std::atomic<int64_t> calls{0};
  std::vector<Findings> findings(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Findings& found = findings[static_cast<size_t>(t)];
      TRowsParamsList block;
      block.Add("v", Variant::FromDouble(0));
      block.Add("thread", Variant::FromInt(t));
      block.NewRow();
      TParamsList type;
      type.Add("TYPE", Variant::FromInt(32));
      const TParamsList* first_rows = nullptr;
      auto holds = [&](const TParamsList* rows, double value) {
        return rows && rows->Count() == 3 && rows->Element(0)->Value().ToDouble() == value &&
               rows->Element(1)->Value().ToInt() == t && rows->Element(2)->IsRowMarker();
      };
      for (int i = 0; i < kCalls; ++i) {
        const double value = t * 1e6 + i;
        block.Element(0)->SetValue(Variant::FromDouble(value));
        void* data = &block;
        ::TParamsList* out = nullptr;
        const int32_t result = ::ProcessData(kHandle, 0, Out(&type), &data, &out);
        const TParamsList* rows = In(out);
        if (result != 0 || !holds(rows, value))
          found.Add("call " + std::to_string(i) + ": rows lost or foreign");
        if (!first_rows) first_rows = rows;
        if (rows != first_rows) found.Add("call " + std::to_string(i) + ": another list than before");
        // Let the others call before the rows are read again.
        const int64_t seen = calls.fetch_add(1) + 1;
        for (int spin = 0; spin < 200 && calls.load() < seen + kThreads - 1; ++spin)
          std::this_thread::yield();
        if (!holds(rows, value)) found.Add("call " + std::to_string(i) + ": rows changed by other calls");
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (const Findings& found : findings) {
    EXPECT_EQ(found.count, 0);
    for (const std::string& finding : found.first)
      ADD_FAILURE() << finding;
  }
}

// The last "UNLOAD" from another thread while a data call is held inside the filter event (after the
// filter filled its rows): the UNLOAD waits, the call completes with its rows intact, and the rows are
// freed only after the call has left.
TEST_F(ModuleStress, UnloadWaitsForTheCallInsideTheFilter) {
  constexpr int32_t kHandle = 391;
  OneAbsoluteItemFile settings(0);
  ASSERT_TRUE(settings.ok());
  TaPlugin* plugin = Plugin(kHandle);
  ASSERT_NE(plugin, nullptr);
  LoadBandZero(kHandle, settings);
  const TOnProcessData filter = plugin->OnProcessData;
  std::atomic<bool> entered{false};
  std::atomic<bool> rows_filled{false};
  std::atomic<bool> unload_done{false};
  std::atomic<bool> unload_done_in_event{true};
  plugin->OnProcessData = [&](TkvoPlugin& sender, uint32_t id, TModuleTypes type, TParamsList* data,
                              TParamsList* device, void*& buffer, int32_t& result) {
    filter(sender, id, type, data, device, buffer, result);
    entered.store(true);
    for (int i = 0; i < 2000 && !sender.Unloaded(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the UNLOAD goes on up to its wait
    const TRowsParamsList* rows = sender.ResultRows();
    rows_filled.store(rows && data && rows->Count() == data->Count() &&
                      rows->Element(0)->Value().ToDouble() == 42.5);
    unload_done_in_event.store(unload_done.load());
  };
  TRowsParamsList block;
  block.Add("v", Variant::FromDouble(42.5));
  block.NewRow();
  TParamsList type;
  type.Add("TYPE", Variant::FromInt(32));
  int32_t result = -99;
  ::TParamsList* rows = nullptr;
  std::thread call([&] {
    void* data = &block;
    result = ::ProcessData(kHandle, 0, Out(&type), &data, &rows);
  });
  while (!entered.load())
    std::this_thread::yield();
  std::thread unload([&] {
    TParamsList parameters;
    parameters.Add("COMMAND", Variant::FromText("UNLOAD"));
    EXPECT_EQ(::ExecutePluginCommand(kHandle, Out(&parameters)), 0);
    unload_done.store(true);
  });
  call.join();
  unload.join();
  EXPECT_EQ(result, 0);
  EXPECT_NE(rows, nullptr) << "the held call lent its rows";
  EXPECT_TRUE(rows_filled.load()) << "the rows held the block when the call left";
  EXPECT_FALSE(unload_done_in_event.load()) << "the UNLOAD finished while the call was inside";
  EXPECT_EQ(plugin->ResultRows(), nullptr);
  plugin->OnProcessData = filter;
}

}  // namespace
}  // namespace kvo
