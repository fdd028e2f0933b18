// The guard every data export runs before it enters an instance, and the polling wait behind it.
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "plugin/wait_flags.h"
#include "plugin_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kvo::plugin_test {
namespace {

using DataGuard = PluginTest;

TEST_F(DataGuard, NullArgumentsAreRefused) {
  const int32_t handle = NextHandle();
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  HostList parameters;
  parameters.Int("TYPE", 32);
  HostList block(true);
  block.Int("a", 1).NewRow();
  void* data = block.get();
  ::TParamsList* rows = nullptr;
  ::TParamsList* events = nullptr;

  EXPECT_EQ(ProcessData(handle, 1, parameters.get(), nullptr, &rows), -1);
  EXPECT_EQ(ProcessData(handle, 1, parameters.get(), &data, nullptr), -1);
  EXPECT_EQ(GetData(handle, 1, parameters.get(), nullptr, &rows), -1);
  EXPECT_EQ(GetData(handle, 1, parameters.get(), &data, nullptr), -1);
  EXPECT_EQ(GetEvents(handle, 1, parameters.get(), nullptr), -1);
  EXPECT_EQ(ProcessData(handle, 1, nullptr, &data, &rows), -1);
  EXPECT_EQ(GetData(handle, 1, nullptr, &data, &rows), -1);
  EXPECT_EQ(GetEvents(handle, 1, nullptr, &events), -1);
  EXPECT_EQ(ExecutePluginCommand(handle, nullptr), -1);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnGetData"), 0);
  EXPECT_EQ(data, block.get()) << "a refused call leaves the host's variable alone";
  EXPECT_EQ(block.Count(), 2);
}

TEST_F(DataGuard, NullParametersCreateNoInstance) {
  const int32_t handle = NextHandle();
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  ::TParamsList* events = nullptr;
  EXPECT_EQ(ProcessData(handle, 1, nullptr, &data, &rows), -1);
  EXPECT_EQ(GetData(handle, 1, nullptr, &data, &rows), -1);
  EXPECT_EQ(GetEvents(handle, 1, nullptr, &events), -1);
  EXPECT_EQ(ExecutePluginCommand(handle, nullptr), -1);
  EXPECT_EQ(InstanceCount(), 0);
}

TEST_F(DataGuard, UnloadedInstanceIsRefusedAtOnceAndStillAfterAnotherLoad) {
  const int32_t handle = NextHandle();
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  ASSERT_EQ(Execute(handle, "UNLOAD"), 0);
  ASSERT_TRUE(InstanceOf(handle)->Unloaded());

  HostList parameters;
  parameters.Int("TYPE", 32);
  HostList block(true);
  block.Int("a", 1).NewRow();
  HostList other(true);
  void* data = block.get();
  ::TParamsList* rows = other.get();
  ::TParamsList* events = nullptr;
#if !defined(_WIN32)
  testing::internal::CaptureStderr();
#endif
  EXPECT_EQ(ProcessData(handle, 1, parameters.get(), &data, &rows), -1);
  EXPECT_EQ(GetData(handle, 1, parameters.get(), &data, &rows), -1);
  EXPECT_EQ(GetEvents(handle, 1, parameters.get(), &events), -1);
#if !defined(_WIN32)
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no wait, no timeout message";
#endif
  EXPECT_EQ(data, block.get());
  EXPECT_EQ(rows, other.get()) << "refused before the host's Rows variable is touched";
  EXPECT_EQ(events, nullptr);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnGetData"), 0);

  // A new "LOAD" takes the parameters and makes the row lists again, but the data path stays closed.
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  EXPECT_TRUE(InstanceOf(handle)->Unloaded());
  EXPECT_NE(InstanceOf(handle)->ResultRows(), nullptr);
  EXPECT_NE(InstanceOf(handle)->EventRows(), nullptr);
#if !defined(_WIN32)
  testing::internal::CaptureStderr();
#endif
  EXPECT_EQ(ProcessData(handle, 1, parameters.get(), &data, &rows), -1);
  EXPECT_EQ(GetEvents(handle, 1, parameters.get(), &events), -1);
#if !defined(_WIN32)
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
#endif
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
}

TEST_F(DataGuard, CommandsAreStillTakenAfterUnload) {
  const int32_t handle = NextHandle();
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  ASSERT_EQ(Execute(handle, "UNLOAD"), 0);
  HostList event;
  event.Text("EVENT-TYPE", "ALARM");
  EXPECT_EQ(Execute(handle, "EVENT", event), -1) << "the handler left its preset";
  EXPECT_EQ(TheProbe().CountOf("OnEvent"), 1);
}

TEST_F(DataGuard, CallIsHeldBackWhileTheInstanceIsBusyAndUnloadedThenRefused) {
  const int32_t handle = NextHandle();
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  TkvoPlugin* instance = InstanceOf(handle);
  // A call that passed the guard before the unload is still running.
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  TheProbe().process_data = [&](TkvoPlugin&, kvo::TParamsList*, void*&, int32_t&) {
    entered.set_value();
    released.wait_for(std::chrono::seconds(30));
  };
  HostList parameters;
  parameters.Int("TYPE", 32);
  auto running = std::async(std::launch::async, [&] {
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    return ProcessData(handle, 1, parameters.get(), &data, &rows);
  });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  auto unload = std::async(std::launch::async, [&] { return Execute(handle, "UNLOAD"); });
  for (int i = 0; i < 1000 && !instance->Unloaded(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(instance->Unloaded());
  ASSERT_TRUE(instance->DataGate().Busy());
  auto held = std::async(std::launch::async, [&] {
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    return ProcessData(handle, 1, parameters.get(), &data, &rows);
  });
  EXPECT_EQ(held.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout) << "not held back";
  EXPECT_EQ(unload.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
      << "the last UNLOAD did not wait for the call in flight";
  release.set_value();
  ASSERT_EQ(held.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(held.get(), -1);
  EXPECT_EQ(running.get(), 0);
  EXPECT_EQ(unload.get(), 0);
  EXPECT_EQ(instance->ResultRows(), nullptr);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 1) << "only the call that entered before the unload";
}

TEST_F(DataGuard, SecondDataCallIsNotHeldBackWhileTheFirstRuns) {
  const int32_t handle = NextHandle();
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> calls{0};
  TheProbe().process_data = [&](TkvoPlugin&, kvo::TParamsList*, void*&, int32_t& result) {
    if (calls.fetch_add(1) == 0) {
      entered.set_value();
      released.wait_for(std::chrono::seconds(30));
      result = -5;
    } else {
      result = -7;
    }
  };
  HostList parameters;
  parameters.Int("TYPE", 32);

  auto first = std::async(std::launch::async, [&] {
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    return ProcessData(handle, 1, parameters.get(), &data, &rows);
  });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(InstanceOf(handle)->DataGate().Busy());

  auto second = std::async(std::launch::async, [&] {
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    return ProcessData(handle, 2, parameters.get(), &data, &rows);
  });
  const bool second_done = second.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(second_done) << "the second call waited for the first";
  EXPECT_NE(first.wait_for(std::chrono::seconds(0)), std::future_status::ready)
      << "the first is still running";
  release.set_value();
  if (second_done) {
    EXPECT_EQ(second.get(), -7);
  }
  EXPECT_EQ(first.get(), -5);
  EXPECT_EQ(calls.load(), 2);
  EXPECT_FALSE(InstanceOf(handle)->DataGate().Busy());
  if (!second_done) second.wait();
}

// --- the wait itself ---

#if defined(_WIN32)
// With a display, the timeout message box would block: a helper closes every dialog of the waiting
// thread and keeps the text it saw. Without a display the box returns at once and nothing is seen.
struct BoxCloser {
  DWORD thread_id = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::string seen;
  std::thread thread;

  static BOOL CALLBACK CloseDialog(HWND window, LPARAM self) {
    auto* closer = reinterpret_cast<BoxCloser*>(self);
    char class_name[16] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (std::string(class_name) == "#32770") {
      char text[128] = {};
      GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
      closer->seen = text;
      PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }

  BoxCloser() {
    thread = std::thread([this] {
      while (!done.load()) {
        EnumThreadWindows(thread_id, &CloseDialog, reinterpret_cast<LPARAM>(this));
        Sleep(20);
      }
    });
  }
  void Stop() {
    if (!thread.joinable()) return;
    done.store(true);
    thread.join();
  }
  ~BoxCloser() { Stop(); }
};
#endif

TEST(WaitWhileFlags, BothFlagsSetUntilTheTimeoutGivesFalseAndTheTimeoutMessage) {
  std::atomic<bool> busy{true};
  std::atomic<bool> unloaded{true};
#if defined(_WIN32)
  BoxCloser closer;
  const bool result = WaitWhileFlags(150, {&busy, &unloaded});
  closer.Stop();
  EXPECT_FALSE(result);
  if (!closer.seen.empty()) {
    EXPECT_EQ(closer.seen, "Timeout: 150!");
  }
#else
  testing::internal::CaptureStderr();
  const bool result = WaitWhileFlags(150, {&busy, &unloaded});
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(result);
  EXPECT_EQ(written, "Timeout: 150!\n");
#endif
}

#if defined(_WIN32)
UINT g_dispatched = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_APP + 5) {
    g_dispatched = message;
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST(WaitWhileFlags, LetsTheThreadsPendingMessagesRunWhileItWaits) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &RecordingProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "KvoPluginTestWaitWindow";
  ASSERT_NE(RegisterClassA(&window_class), 0);
  HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  g_dispatched = 0;
  ASSERT_TRUE(PostMessageA(window, WM_APP + 5, 0, 0));
  std::atomic<bool> busy{true};
  std::atomic<bool> unloaded{true};
  BoxCloser closer;
  EXPECT_FALSE(WaitWhileFlags(150, {&busy, &unloaded}));
  closer.Stop();
  EXPECT_EQ(g_dispatched, WM_APP + 5u);
  DestroyWindow(window);
  UnregisterClassA(window_class.lpszClassName, window_class.hInstance);
}
#endif

struct FlagCase {
  const char* name;
  int first;   // 1 set, 0 clear, -1 null reference
  int second;  // the same
  bool result;
  // Shown in the test list by its name.
  friend void PrintTo(const FlagCase& c, std::ostream* os) { *os << c.name; }
};

class WaitWhileFlagsAtOnce : public ::testing::TestWithParam<FlagCase> {};

TEST_P(WaitWhileFlagsAtOnce, EndsAtTheFirstCheckWithoutMessage) {
  const FlagCase& c = GetParam();
  std::atomic<bool> a{c.first == 1};
  std::atomic<bool> b{c.second == 1};
  const std::atomic<bool>* first = c.first < 0 ? nullptr : &a;
  const std::atomic<bool>* second = c.second < 0 ? nullptr : &b;
#if !defined(_WIN32)
  testing::internal::CaptureStderr();
#endif
  auto waited = std::async(std::launch::async, [&] { return WaitWhileFlags(60000, {first, second}); });
  ASSERT_EQ(waited.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "still waiting";
  EXPECT_EQ(waited.get(), c.result);
#if !defined(_WIN32)
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Flags, WaitWhileFlagsAtOnce,
    ::testing::Values(FlagCase{"BothClear", 0, 0, true}, FlagCase{"FirstClear", 0, 1, true},
                      FlagCase{"SecondClear", 1, 0, true}, FlagCase{"ClearBeforeNull", 0, -1, true},
                      FlagCase{"NullFirst", -1, 0, false}, FlagCase{"SetThenNull", 1, -1, false}),
    CaseName());

TEST(WaitWhileFlags, FlagClearedByAnotherThreadEndsTheWaitWithTrue) {
  std::atomic<bool> busy{true};
  std::atomic<bool> unloaded{true};
  std::thread clearer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    busy.store(false);
  });
#if !defined(_WIN32)
  testing::internal::CaptureStderr();
#endif
  const bool result = WaitWhileFlags(20000, {&busy, &unloaded});
#if !defined(_WIN32)
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
#endif
  clearer.join();
  EXPECT_TRUE(result);
}

}  // namespace
}  // namespace kvo::plugin_test
