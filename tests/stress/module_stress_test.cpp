// Several host threads calling the deadband module at once through its entry points, on handles of their
// own and on one handle they share: data calls in both roles, log fetches, commands, language changes and
// queries, interleaved. Every result must be one the module may give; a thread's own handle must behave
// exactly as if it were alone. Meant to run under ThreadSanitizer too, so the work is bounded.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
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
#include "kvo/kvo_plugin.h"
#include "language/wtransl.h"
#include "params/params_list.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "plugin/plugin_registry.h"
#include "runtime/properties.h"
#include "support/deadband_ini.h"
#include "support/scratch_store.h"

namespace kvo {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 4000;  // per thread; each round makes one call group
constexpr int32_t kSharedHandle = 300;
constexpr int32_t kOwnHandleBase = 301;
constexpr double kBand = 5;
constexpr std::string_view kNoDataLine = "Deadband. No data for processing||1";

::TParamsList* Out(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}
TParamsList* In(::TParamsList* list) {
  return reinterpret_cast<TParamsList*>(list);
}

TaPlugin* Plugin(int32_t handle) {
  TkvoPlugin* instance = nullptr;
  TParamsList parameters;
  if (!GetPluginInstance(handle, &parameters, &instance) || !instance->InheritsFrom(TaPlugin::StaticClass)) {
    return nullptr;
  }
  return static_cast<TaPlugin*>(instance);
}

// One absolute item on "v", as an INI file for "LOAD"; the file is removed with the object.
class OneAbsoluteItemFile {
 public:
  OneAbsoluteItemFile()
      : path_((std::filesystem::temp_directory_path() /
               ("kvo-stress-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                ".ini"))
                  .string()) {
    ok_ = testing::WriteTextFile(path_, testing::DeadbandIniText(0, {{"v", 0, kBand}}));
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
  TRowsParamsList* shared_rows_;
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
  const std::string key = "Software\\kvo-test-stress\\" +
                          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
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
  for (auto root : {platform::RegistryRoot::kLocalMachine, platform::RegistryRoot::kCurrentUser}) {
    platform::RegistryKey software;
    if (platform::RegistryKey::Open(root, "Software", false, &software, nullptr))
      software.DeleteKey("kvo-test-stress");
  }
}

// One instance whose texts change language on one thread while other threads reload its settings form,
// filter through it and log its messages: the walk over the module's components never meets a form being
// rebuilt or a message being read.
TEST_F(ModuleStress, LanguageChangesWhileTheSettingsFormIsReloaded) {
  constexpr int32_t kHandle = 600;
  testing::ScratchStore store("kvo-stress-language", "kvo-test-stress-language");
  std::ifstream shipped(KVO_SHIPPED_LANGUAGE_FILE, std::ios::binary);
  ASSERT_TRUE(testing::WriteTextFile(
      store.File("deadband.lng"),
      std::string(std::istreambuf_iterator<char>(shipped), std::istreambuf_iterator<char>())));
  const std::string ini = store.File("settings.ini");
  ASSERT_TRUE(testing::WriteTextFile(ini, testing::DeadbandIniText(0, {{"v", 0, kBand}})));
  // The instance reads the language file beside what it takes for its own file when it is made.
  const std::string previous = platform::OverrideOwnModulePath(store.File("deadband.module"));
  TaPlugin* plugin = Plugin(kHandle);
  platform::OverrideOwnModulePath(previous);
  ASSERT_NE(plugin, nullptr);
  ASSERT_FALSE(plugin->Transl()->LanguageFile.empty());
  auto command = [](const char* name, const std::vector<std::pair<const char*, std::string>>& texts) {
    TParamsList parameters;
    parameters.Add("COMMAND", Variant::FromText(name));
    for (const auto& [key, text] : texts)
      parameters.Add(key, Variant::FromText(text));
    return ::ExecutePluginCommand(kHandle, Out(&parameters));
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

}  // namespace
}  // namespace kvo
