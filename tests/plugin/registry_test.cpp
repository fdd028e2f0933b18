// The exports' instance lookup: failure values without an instance, one instance per host handle, the
// per-thread cache, failed constructions, temporary loads and the shut-down of the registry.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "plugin_test_support.h"

namespace kvo::plugin_test {
namespace {

using Queries = PluginTest;

TEST_F(Queries, InterfaceVersionIsThreeForAnyHandleAndCreatesNoInstance) {
  EXPECT_EQ(GetPluginInterfaceVersion(0), 3.0f);
  EXPECT_EQ(GetPluginInterfaceVersion(NextHandle()), 3.0f);
  EXPECT_EQ(GetPluginInterfaceVersion(-1), 3.0f);
  EXPECT_EQ(InstanceCount(), 0);
  EXPECT_EQ(TheProbe().constructed, 0);
}

TEST_F(Queries, HandleZeroGivesEveryFailureValue) {
  EXPECT_EQ(GetAppMinVersion(0), -1.0f);
  EXPECT_EQ(GetModuleDescription(0), nullptr);
  EXPECT_EQ(GetModuleType(0), 0);
  EXPECT_EQ(MultiThreadSupport(0), 0);

  char buffer[64];
  int32_t needed = 99;
  EXPECT_EQ(GetLogEx(0, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
  needed = 99;
  EXPECT_EQ(GetCustomCommands(0, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);

  HostList parameters;
  parameters.Text("COMMAND", "LOAD").Int("TYPE", 32);
  EXPECT_EQ(ExecutePluginCommand(0, parameters.get()), -1);
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  ::TParamsList* events = nullptr;
  EXPECT_EQ(GetData(0, 1, parameters.get(), &data, &rows), -1);
  EXPECT_EQ(GetEvents(0, 1, parameters.get(), &events), -1);
  EXPECT_EQ(ProcessData(0, 1, parameters.get(), &data, &rows), -1);
  ShowOptionsDialog(0, parameters.get());
  ShowOptionsDialog(0, nullptr);

  EXPECT_EQ(InstanceCount(), 0);
  EXPECT_EQ(TheProbe().constructed, 0);
  EXPECT_TRUE(TheProbe().EventNames().empty());
}

TEST_F(Queries, NewHandleAnswersWithTheModulesProperties) {
  const int32_t handle = NextHandle();
  EXPECT_EQ(GetAppMinVersion(handle), kTestMinVersion);
  ASSERT_NE(GetModuleDescription(handle), nullptr);
  EXPECT_STREQ(GetModuleDescription(handle), kTestDescription);
  EXPECT_EQ(GetModuleType(handle), KVO_MT_FILTER);
  EXPECT_EQ(MultiThreadSupport(handle), 1);
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_EQ(TheProbe().constructed, 1);
  EXPECT_EQ(InstanceOf(handle)->Handle(), handle);
}

TEST_F(Queries, QueriesFollowThePropertiesOfTheInstance) {
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  instance->Description.clear();
  instance->IsMultiThreadSupported = false;
  instance->ModuleType = TModuleTypes{mttDataQuery, mttDataExport, mttMenuExt};
  instance->MinVersion = 3.6f;
  const char* description = GetModuleDescription(handle);
  ASSERT_NE(description, nullptr) << "an empty description is an empty text, not null";
  EXPECT_STREQ(description, "");
  EXPECT_EQ(MultiThreadSupport(handle), 0);
  EXPECT_EQ(GetModuleType(handle), 1 + 4 + 128);
  EXPECT_EQ(GetAppMinVersion(handle), 3.6f);
}

TEST_F(Queries, TheFrameworksOwnClassAnswersWithItsDefaults) {
  RegisterPluginClass(&CreatePluginOf<TkvoPlugin>);
  const int32_t handle = NextHandle();
  EXPECT_EQ(GetAppMinVersion(handle), 3.0f);
  ASSERT_NE(GetModuleDescription(handle), nullptr);
  EXPECT_STREQ(GetModuleDescription(handle), "");
  EXPECT_EQ(GetModuleType(handle), 0);
  EXPECT_EQ(MultiThreadSupport(handle), 1);
  TkvoPlugin* instance = InstanceOf(handle);
  EXPECT_EQ(instance->MsgNoData, "No data for processing");
  EXPECT_EQ(instance->MsgWriteComplete, "Data have been processed successful");
  EXPECT_EQ(instance->MsgWriteCompleteError, "Data have been processed with errors");
  EXPECT_EQ(instance->MsgBadLen, "Data array has an invalid number of columns %d (%d)");
  EXPECT_TRUE(instance->LogTitle.empty());
  EXPECT_TRUE(instance->EventsSupported.empty());
  EXPECT_EQ(instance->RegistryRoot(), rrHKEY_LOCAL_MACHINE);
  EXPECT_EQ(instance->SecondRegistryRoot(), rrHKEY_CURRENT_USER);
  EXPECT_EQ(TheProbe().constructed, 0) << "the test module was not made";
}

TEST_F(Queries, GetPluginInstanceRefusesHandleZero) {
  TkvoPlugin* instance = reinterpret_cast<TkvoPlugin*>(&instance);
  EXPECT_FALSE(GetPluginInstance(0, nullptr, &instance));
  EXPECT_EQ(instance, nullptr);
}

using Instances = PluginTest;

TEST_F(Instances, TwoHandlesGiveTwoInstancesWithSeparateState) {
  const int32_t first = NextHandle();
  const int32_t second = NextHandle();
  HostList load_first;
  load_first.Int("ModuleIndex", 1).Text("RegistryPath", "Software\\First");
  HostList load_second;
  load_second.Int("ModuleIndex", 2).Text("RegistryPath", "Software\\Second");
  ASSERT_EQ(Execute(first, "LOAD", load_first), 0);
  ASSERT_EQ(Execute(second, "LOAD", load_second), 0);

  TkvoPlugin* a = InstanceOf(first);
  TkvoPlugin* b = InstanceOf(second);
  ASSERT_NE(a, b);
  EXPECT_EQ(InstanceCount(), 2);
  EXPECT_EQ(a->ModuleIndex(), 1);
  EXPECT_EQ(b->ModuleIndex(), 2);
  EXPECT_EQ(a->RegistryPath(), "Software\\First");
  EXPECT_EQ(b->RegistryPath(), "Software\\Second");

  a->AddLogMessage(1, "only in the first");
  EXPECT_EQ(FetchLog(second), "");
  EXPECT_EQ(FetchLog(first), "only in the first||1");
  a->Description = "changed";
  EXPECT_STREQ(GetModuleDescription(second), kTestDescription);
  EXPECT_STREQ(GetModuleDescription(first), "changed");
}

TEST_F(Instances, LaterCallsWithTheSameHandleReachTheSameInstance) {
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  EXPECT_EQ(Execute(handle, "LOAD"), 0);
  EXPECT_EQ(GetModuleType(handle), KVO_MT_FILTER);
  EXPECT_EQ(InstanceOf(handle), instance);
  EXPECT_EQ(instance->LoadCount(), 1);
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_EQ(TheProbe().constructed, 1);
}

TEST_F(Instances, AnotherThreadFindsTheInstanceOfTheFirstAndCachesIt) {
  const int32_t first = NextHandle();
  const int32_t second = NextHandle();
  TkvoPlugin* a = InstanceOf(first);
  TkvoPlugin* b = InstanceOf(second);
  a->Description = "first";
  b->Description = "second";

  TkvoPlugin* seen[3] = {};
  std::string descriptions[3];
  std::thread other([&] {
    // The thread's cache starts empty: the first lookup searches, the repeat hits the cache, and a
    // lookup of another handle replaces the entry.
    GetPluginInstance(first, nullptr, &seen[0]);
    GetPluginInstance(first, nullptr, &seen[1]);
    descriptions[0] = GetModuleDescription(first);
    descriptions[1] = GetModuleDescription(second);
    GetPluginInstance(first, nullptr, &seen[2]);
    descriptions[2] = GetModuleDescription(first);
  });
  other.join();
  EXPECT_EQ(seen[0], a);
  EXPECT_EQ(seen[1], a);
  EXPECT_EQ(seen[2], a);
  EXPECT_EQ(descriptions[0], "first");
  EXPECT_EQ(descriptions[1], "second");
  EXPECT_EQ(descriptions[2], "first");
  EXPECT_EQ(InstanceCount(), 2);
  EXPECT_EQ(TheProbe().constructed, 2);
  // This thread's own entry was not disturbed by the other thread's lookups.
  EXPECT_STREQ(GetModuleDescription(second), "second");
  EXPECT_STREQ(GetModuleDescription(first), "first");
}

TEST_F(Instances, ManyThreadsCreateOneInstancePerHandle) {
  const int32_t handles[3] = {NextHandle(), NextHandle(), NextHandle()};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 50; ++round) {
        for (int32_t handle : handles) {
          TkvoPlugin* instance = nullptr;
          GetPluginInstance(handle, nullptr, &instance);
          if (!instance || instance->Handle() != handle) ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(InstanceCount(), 3);
  EXPECT_EQ(TheProbe().constructed, 3);
}

TEST_F(Instances, FailedConstructionGivesTheFailureValueAndAddsNothing) {
  const int32_t working = NextHandle();
  const int32_t failing = NextHandle();
  TkvoPlugin* instance = InstanceOf(working);
  ASSERT_EQ(Execute(working, "LOAD"), 0);

  HostList refused;
  refused.Int("FAIL", 1).Int("TYPE", 32);
  EXPECT_EQ(Execute(failing, "LOAD", refused), -1);
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  ::TParamsList* events = nullptr;
  EXPECT_EQ(ProcessData(failing, 1, refused.get(), &data, &rows), -1);
  EXPECT_EQ(GetData(failing, 1, refused.get(), &data, &rows), -1);
  EXPECT_EQ(GetEvents(failing, 1, refused.get(), &events), -1);
  ShowOptionsDialog(failing, refused.get());
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_EQ(TheProbe().constructed, 1);

  // The thread's cache still names the working instance, and a search finds it too.
  EXPECT_STREQ(GetModuleDescription(working), kTestDescription);
  EXPECT_EQ(InstanceOf(working), instance);
  HostList process;
  process.Int("TYPE", 32);
  EXPECT_EQ(ProcessData(working, 1, process.get(), &data, &rows), 0);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 1);

  // The next call with the failing handle tries again, and succeeds once the parameters allow it.
  EXPECT_EQ(Execute(failing, "EVENTS-SUPPORT"), 0);
  EXPECT_EQ(InstanceCount(), 2);
  EXPECT_NE(InstanceOf(failing), instance);
}

TEST_F(Instances, FailingCreationEventDiscardsTheHalfMadeInstance) {
  const int32_t handle = NextHandle();
  TheProbe().raise_in = {"OnCreate"};
  EXPECT_EQ(GetModuleType(handle), 0);
  EXPECT_EQ(GetModuleDescription(handle), nullptr);
  EXPECT_EQ(InstanceCount(), 0);
  EXPECT_EQ(TheProbe().constructed, 2);
  EXPECT_EQ(TheProbe().destroyed.size(), 2u) << "each half-made instance was destroyed";
  TheProbe().raise_in.clear();
  EXPECT_EQ(GetModuleType(handle), KVO_MT_FILTER);
  EXPECT_EQ(InstanceCount(), 1);
}

TEST_F(Instances, FailedConstructionInAnotherThreadLeavesThatThreadsCache) {
  const int32_t working = NextHandle();
  const int32_t failing = NextHandle();
  TkvoPlugin* instance = InstanceOf(working);
  TkvoPlugin* before = nullptr;
  TkvoPlugin* after = nullptr;
  int32_t refused_result = 0;
  std::thread other([&] {
    GetPluginInstance(working, nullptr, &before);
    HostList refused;
    refused.Int("FAIL", 1);
    refused_result = Execute(failing, "LOAD", refused);
    GetPluginInstance(working, nullptr, &after);
  });
  other.join();
  EXPECT_EQ(refused_result, -1);
  EXPECT_EQ(before, instance);
  EXPECT_EQ(after, instance);
  EXPECT_EQ(InstanceCount(), 1);
}

TEST_F(Instances, ShutdownInvalidatesTheCacheSoTheSameHandleGetsANewInstance) {
  const int32_t handle = NextHandle();
  InstanceOf(handle)->Description = "before shut-down";
  EXPECT_STREQ(GetModuleDescription(handle), "before shut-down");
  ShutdownPluginInstances();
  EXPECT_EQ(InstanceCount(), 0);
  EXPECT_STREQ(GetModuleDescription(handle), kTestDescription);
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_EQ(TheProbe().constructed, 2);
}

struct TemporaryCase {
  const char* name;
  int how;  // 0: made by a query without parameters; 1: "TEMPORARY-LOAD" 1; 2: 0; 3: missing; 4: text; 5: 5;
            // 6: Null
  bool temporary;
  // Shown in the test list by its name.
  friend void PrintTo(const TemporaryCase& c, std::ostream* os) { *os << c.name; }
};

class TemporaryLoad : public PluginTest, public ::testing::WithParamInterface<TemporaryCase> {};

TEST_P(TemporaryLoad, IsFixedByTheCallThatMadeTheInstance) {
  const TemporaryCase& c = GetParam();
  const int32_t handle = NextHandle();
  HostList parameters;
  switch (c.how) {
    case 0:
      GetModuleType(handle);
      break;
    case 1:
      parameters.Int("TEMPORARY-LOAD", 1);
      break;
    case 2:
      parameters.Int("TEMPORARY-LOAD", 0);
      break;
    case 3:
      break;
    case 4:
      parameters.Text("TEMPORARY-LOAD", "not a truth value");
      break;
    case 5:
      parameters.Int("TEMPORARY-LOAD", 5);
      break;
    case 6:
      parameters.Null("TEMPORARY-LOAD");
      break;
  }
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", parameters), 0);
  EXPECT_EQ(InstanceOf(handle)->TemporaryLoad(), c.temporary);
  // A later call with other parameters does not change it.
  HostList later;
  later.Int("TEMPORARY-LOAD", c.temporary ? 0 : 1);
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", later), 0);
  EXPECT_EQ(InstanceOf(handle)->TemporaryLoad(), c.temporary);
}

INSTANTIATE_TEST_SUITE_P(Registry, TemporaryLoad,
                         ::testing::Values(TemporaryCase{"QueryWithoutParameters", 0, true},
                                           TemporaryCase{"ParameterOne", 1, true},
                                           TemporaryCase{"ParameterZero", 2, false},
                                           TemporaryCase{"ParameterMissing", 3, false},
                                           TemporaryCase{"ParameterNotConvertible", 4, false},
                                           TemporaryCase{"AnyNonZeroNumber", 5, true},
                                           TemporaryCase{"ParameterNull", 6, false}),
                         CaseName());

TEST_F(Instances, TemporaryLoadComesFromTheDataExportThatMadeTheInstance) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Int("TEMPORARY-LOAD", 1);
  ::TParamsList* events = nullptr;
  EXPECT_EQ(GetEvents(handle, 0, parameters.get(), &events), 0);
  EXPECT_TRUE(InstanceOf(handle)->TemporaryLoad());
  const int32_t dialog_handle = NextHandle();
  ShowOptionsDialog(dialog_handle, parameters.get());
  EXPECT_TRUE(InstanceOf(dialog_handle)->TemporaryLoad());
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  const int32_t process_handle = NextHandle();
  ProcessData(process_handle, 1, parameters.get(), &data, &rows);
  EXPECT_TRUE(InstanceOf(process_handle)->TemporaryLoad());
  const int32_t get_handle = NextHandle();
  GetData(get_handle, 1, parameters.get(), &data, &rows);
  EXPECT_TRUE(InstanceOf(get_handle)->TemporaryLoad());
  const int32_t query_handle = NextHandle();
  EXPECT_EQ(GetModuleType(query_handle), KVO_MT_FILTER);
  EXPECT_EQ(Execute(query_handle, "EVENTS-SUPPORT"), 0);
  EXPECT_TRUE(InstanceOf(query_handle)->TemporaryLoad()) << "made by the query, without parameters";
}

using Shutdown = PluginTest;

TEST_F(Shutdown, DestroysEveryInstanceInCreationOrderWithoutModuleEvents) {
  const int32_t handles[3] = {NextHandle(), NextHandle(), NextHandle()};
  // Made in the order 1, 0, 2; loaded with an INI file, so an unload would save.
  for (int32_t handle : {handles[1], handles[0], handles[2]}) {
    HostList load;
    load.Text("INI-FILE", "settings.ini");
    ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  }
  TheProbe().Reset();
  ShutdownPluginInstances();
  EXPECT_EQ(TheProbe().destroyed, (std::vector<int32_t>{handles[1], handles[0], handles[2]}));
  EXPECT_TRUE(TheProbe().EventNames().empty()) << "no OnUnload, no OnSaveSettingsNow";
  EXPECT_EQ(InstanceCount(), 0);
}

// A module whose construction, for a list carrying "SLOW" = 1, waits until the test lets it finish.
struct SlowGate {
  std::mutex lock;
  std::condition_variable changed;
  bool constructing = false;
  bool released = false;
};
SlowGate* g_gate = nullptr;

class SlowPlugin : public TkvoPlugin {
 public:
  explicit SlowPlugin(kvo::TParamsList* parameters) : TkvoPlugin(parameters) {
    if (!parameters || !parameters->FindByName("SLOW")) return;
    std::unique_lock hold(g_gate->lock);
    g_gate->constructing = true;
    g_gate->changed.notify_all();
    g_gate->changed.wait(hold, [] { return g_gate->released; });
  }
};

// The lookup a thread's cache answers still waits for a construction running on another thread, as
// every export waits while the registry is busy making an instance.
TEST_F(Instances, ConstructionHoldsBackCachedLookupsOfOtherThreads) {
  SlowGate gate;
  g_gate = &gate;
  RegisterPluginClass(&CreatePluginOf<SlowPlugin>);

  std::atomic<bool> cached{false};
  std::atomic<bool> go{false};
  std::atomic<bool> second_done{false};
  std::thread reader([&] {
    EXPECT_EQ(GetModuleType(11), 0);  // made and cached by this thread
    cached = true;
    while (!go)
      std::this_thread::yield();
    EXPECT_EQ(GetModuleType(11), 0);
    second_done = true;
  });
  while (!cached)
    std::this_thread::yield();

  std::thread maker([] {
    HostList parameters;
    parameters.Text("COMMAND", "NOTHING").Int("SLOW", 1);
    EXPECT_EQ(ExecutePluginCommand(12, parameters.get()), -2);
  });
  {
    std::unique_lock hold(gate.lock);
    gate.changed.wait(hold, [&] { return gate.constructing; });
  }
  go = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(second_done) << "a cached lookup ran while an instance was being made";
  {
    std::lock_guard hold(gate.lock);
    gate.released = true;
  }
  gate.changed.notify_all();
  maker.join();
  reader.join();
  EXPECT_TRUE(second_done);
  RegisterPluginClass(&CreatePluginOf<TestPlugin>);
  ShutdownPluginInstances();
  g_gate = nullptr;
}

}  // namespace
}  // namespace kvo::plugin_test
