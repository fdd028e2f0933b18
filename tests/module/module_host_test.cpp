// A test host for the deadband module: it loads the built module file by its path, as a data-logging host
// does, looks up the twelve entry points by name and calls them only through the function-pointer types
// of kvo_plugin.h. Lists are made and read with the host SDK, which carries its own copy of the list
// code, so every list crosses the module boundary the way a real host's lists do.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "kvo/kvo_host.h"
#include "kvo/kvo_plugin.h"
#include "platform/module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/version_resource.h"
#endif

namespace {

// The twelve entry points of the loaded module.
struct Exports {
  KvoGetPluginInterfaceVersionFn GetPluginInterfaceVersion = nullptr;
  KvoGetAppMinVersionFn GetAppMinVersion = nullptr;
  KvoGetModuleDescriptionFn GetModuleDescription = nullptr;
  KvoGetModuleTypeFn GetModuleType = nullptr;
  KvoMultiThreadSupportFn MultiThreadSupport = nullptr;
  KvoGetLogExFn GetLogEx = nullptr;
  KvoGetCustomCommandsFn GetCustomCommands = nullptr;
  KvoShowOptionsDialogFn ShowOptionsDialog = nullptr;
  KvoExecutePluginCommandFn ExecutePluginCommand = nullptr;
  KvoGetDataFn GetData = nullptr;
  KvoGetEventsFn GetEvents = nullptr;
  KvoProcessDataFn ProcessData = nullptr;
};

// A parameter list the test owns, made by the SDK.
class Params {
 public:
  explicit Params(bool rows = false) : list_(rows ? kvo_rows_new() : kvo_params_new()) {}
  Params(const Params&) = delete;
  Params& operator=(const Params&) = delete;
  ~Params() { kvo_params_free(list_); }

  TParamsList* get() const { return list_; }
  Params& Text(const char* name, const char* text) {
    EXPECT_EQ(kvo_params_add_text(list_, name, text), 1) << name;
    return *this;
  }
  Params& Int(const char* name, int32_t value) {
    EXPECT_EQ(kvo_params_add_int(list_, name, value), 1) << name;
    return *this;
  }
  Params& Double(const char* name, double value) {
    EXPECT_EQ(kvo_params_add_double(list_, name, value), 1) << name;
    return *this;
  }
  // The text form of the named element's value; "<missing>" when there is none.
  std::string TextOf(const char* name) const {
    const int32_t index = kvo_params_index_of(list_, name);
    if (index < 0) return "<missing>";
    const int32_t length = kvo_params_text(list_, index, nullptr, 0);
    if (length < 0) return "<no text>";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    kvo_params_text(list_, index, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
  }

 private:
  TParamsList* list_;
};

// The module stays loaded for the whole program; every test uses handles of its own.
class ModuleHost : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    if (module_) return;
#if !defined(_WIN32)
    // The options dialog calls must find no display, or they would wait for a person.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      ::unsetenv(name);
#endif
    module_ = kvo::platform::LoadModule(KVO_DEADBAND_MODULE_PATH, &load_error_);
    if (!module_) return;
    auto look_up = [](auto& slot, const char* name) {
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
          kvo::platform::ProcAddress(module_, name));
      if (!slot) missing_ += std::string(missing_.empty() ? "" : ", ") + name;
    };
    look_up(x_.GetPluginInterfaceVersion, "GetPluginInterfaceVersion");
    look_up(x_.GetAppMinVersion, "GetAppMinVersion");
    look_up(x_.GetModuleDescription, "GetModuleDescription");
    look_up(x_.GetModuleType, "GetModuleType");
    look_up(x_.MultiThreadSupport, "MultiThreadSupport");
    look_up(x_.GetLogEx, "GetLogEx");
    look_up(x_.GetCustomCommands, "GetCustomCommands");
    look_up(x_.ShowOptionsDialog, "ShowOptionsDialog");
    look_up(x_.ExecutePluginCommand, "ExecutePluginCommand");
    look_up(x_.GetData, "GetData");
    look_up(x_.GetEvents, "GetEvents");
    look_up(x_.ProcessData, "ProcessData");
  }

 protected:
  void SetUp() override {
    ASSERT_NE(module_, nullptr) << "cannot load " << KVO_DEADBAND_MODULE_PATH << ": " << load_error_;
    ASSERT_TRUE(missing_.empty()) << "exports not found: " << missing_;
  }

  // Runs a command with the given list, which gets "COMMAND" first.
  static int32_t Command(int32_t handle, const char* command, Params& params) {
    kvo_params_add_text(params.get(), "COMMAND", command);
    return x_.ExecutePluginCommand(handle, params.get());
  }
  static int32_t Command(int32_t handle, const char* command) {
    Params params;
    return Command(handle, command, params);
  }

  // ProcessData with "TYPE" `type` and `data` in the host's Data variable; `rows` receives the result.
  static int32_t Process(int32_t handle, int32_t type, TParamsList* data, TParamsList** rows) {
    Params parameters;
    parameters.Int("TYPE", type);
    void* data_variable = data;
    *rows = reinterpret_cast<TParamsList*>(uintptr_t{1});  // the export must overwrite it
    return x_.ProcessData(handle, 0, parameters.get(), &data_variable, rows);
  }

  // The whole pending log, fetched by the buffer protocol: the size first, then the text.
  static std::string FetchLog(int32_t handle) {
    int32_t needed = -1;
    EXPECT_EQ(x_.GetLogEx(handle, nullptr, 0, &needed), 0);
    EXPECT_GE(needed, 0);
    if (needed <= 0) return {};
    std::string text(static_cast<size_t>(needed), '\0');
    int32_t again = -1;
    EXPECT_EQ(x_.GetLogEx(handle, text.data(), needed, &again), needed);
    EXPECT_EQ(again, needed);
    return text;
  }

  static kvo::platform::ModuleHandle module_;
  static std::string load_error_;
  static std::string missing_;
  static Exports x_;
};

kvo::platform::ModuleHandle ModuleHost::module_ = nullptr;
std::string ModuleHost::load_error_;
std::string ModuleHost::missing_;
Exports ModuleHost::x_;

constexpr const char* kNoDataLine = "Deadband. No data for processing||1";

TEST_F(ModuleHost, ReportsInterfaceVersionForAnyHandle) {
  EXPECT_EQ(x_.GetPluginInterfaceVersion(0), 3.0f);
  EXPECT_EQ(x_.GetPluginInterfaceVersion(101), 3.0f);
  EXPECT_EQ(x_.GetPluginInterfaceVersion(-7), 3.0f);
}

TEST_F(ModuleHost, DescribesItselfAsTheDeadbandFilter) {
  const int32_t h = 102;
  EXPECT_EQ(x_.GetModuleType(h), 32);
  EXPECT_EQ(x_.GetAppMinVersion(h), 3.6f);
  const char* description = x_.GetModuleDescription(h);
  ASSERT_NE(description, nullptr);
  EXPECT_STREQ(description, "Deadband");
  EXPECT_EQ(x_.MultiThreadSupport(h), 1);
  // Asked again, the same instance answers with the same text.
  EXPECT_EQ(x_.GetModuleDescription(h), description);
}

TEST_F(ModuleHost, HandleZeroGivesEveryFailureValue) {
  EXPECT_EQ(x_.GetAppMinVersion(0), -1.0f);
  EXPECT_EQ(x_.GetModuleDescription(0), nullptr);
  EXPECT_EQ(x_.GetModuleType(0), 0);
  EXPECT_EQ(x_.MultiThreadSupport(0), 0);
  char buffer[64];
  int32_t needed = 77;
  EXPECT_EQ(x_.GetLogEx(0, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
  needed = 77;
  EXPECT_EQ(x_.GetCustomCommands(0, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);

  Params parameters;
  parameters.Text("COMMAND", "LOAD").Int("TYPE", 32);
  EXPECT_EQ(x_.ExecutePluginCommand(0, parameters.get()), -1);
  void* data = nullptr;
  TParamsList* rows = nullptr;
  EXPECT_EQ(x_.GetData(0, 0, parameters.get(), &data, &rows), -1);
  TParamsList* events = nullptr;
  EXPECT_EQ(x_.GetEvents(0, 0, parameters.get(), &events), -1);
  EXPECT_EQ(events, nullptr);
  EXPECT_EQ(x_.ProcessData(0, 0, parameters.get(), &data, &rows), -1);
  x_.ShowOptionsDialog(0, parameters.get());
  x_.ShowOptionsDialog(0, nullptr);
  // Nothing was made for handle 0 by any of these.
  EXPECT_EQ(x_.GetModuleDescription(0), nullptr);
}

TEST_F(ModuleHost, DataExportsAndCommandsRefuseMissingParameters) {
  const int32_t h = 103;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  void* data = nullptr;
  TParamsList* rows = nullptr;
  TParamsList* events = nullptr;
  EXPECT_EQ(x_.ExecutePluginCommand(h, nullptr), -1);
  EXPECT_EQ(x_.ProcessData(h, 0, nullptr, &data, &rows), -1);
  EXPECT_EQ(x_.GetData(h, 0, nullptr, &data, &rows), -1);
  EXPECT_EQ(x_.GetEvents(h, 0, nullptr, &events), -1);
  Params no_command;
  no_command.Int("TYPE", 32);
  EXPECT_EQ(x_.ExecutePluginCommand(h, no_command.get()), -1);
  EXPECT_EQ(Command(h, "load"), -2);  // command names are exact: nobody takes this one
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, ItemDefinitionsRoundTrip) {
  const int32_t h = 104;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  const char* items = "t1|Temperature|Float|x\r\nt2|Pressure|Integer|\r\nt3|Status|String|a b";
  Params set;
  set.Text("ITEMS", items);
  EXPECT_EQ(Command(h, "SET ITEMS", set), 0);

  Params get;
  get.Text("RESULT", "");
  EXPECT_EQ(Command(h, "ITEMS", get), 0);
  EXPECT_EQ(get.TextOf("RESULT"), items);

  // Without the "ITEMS" text, or without a "RESULT" element to write to, the commands refuse.
  Params no_items;
  EXPECT_EQ(Command(h, "SET ITEMS", no_items), -1);
  Params no_result;
  EXPECT_EQ(Command(h, "ITEMS", no_result), -1);
  EXPECT_EQ(kvo_params_index_of(no_result.get(), "RESULT"), -1);
  // The refused "SET ITEMS" kept the definitions.
  Params again;
  again.Text("RESULT", "");
  EXPECT_EQ(Command(h, "ITEMS", again), 0);
  EXPECT_EQ(again.TextOf("RESULT"), items);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, ExportCallWithoutDataLogsNoData) {
  const int32_t h = 105;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  TParamsList* rows = nullptr;
  EXPECT_EQ(Process(h, 4, nullptr, &rows), 0);
  EXPECT_EQ(rows, nullptr);

  // Too small a buffer: nothing is copied, Needed tells the size, the log stays.
  const std::string expected = kNoDataLine;
  std::vector<char> buffer(expected.size() + 8, '#');
  int32_t needed = -1;
  EXPECT_EQ(x_.GetLogEx(h, buffer.data(), static_cast<int32_t>(expected.size()) - 1, &needed), 0);
  EXPECT_EQ(needed, static_cast<int32_t>(expected.size()));
  EXPECT_EQ(buffer[0], '#');
  // The exact size fits; no terminating zero is written.
  EXPECT_EQ(x_.GetLogEx(h, buffer.data(), needed, &needed), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(std::string(buffer.data(), expected.size()), expected);
  EXPECT_EQ(buffer[expected.size()], '#');
  // Fetched means emptied.
  EXPECT_EQ(FetchLog(h), "");

  // An empty block is no data either; each call starts a fresh log, so there is one line, not a fold.
  Params empty_block(true);
  EXPECT_EQ(Process(h, 4, empty_block.get(), &rows), 0);
  EXPECT_EQ(Process(h, 4, nullptr, &rows), 0);
  EXPECT_EQ(FetchLog(h), expected);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, FilterCallWithoutItemsDropsEveryBlock) {
  const int32_t h = 106;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  Params block(true);
  block.Double("temperature", 21.5).Text("status", "ok");
  kvo_params_new_row(block.get());
  for (int i = 0; i < 3; ++i) {
    TParamsList* rows = nullptr;
    EXPECT_EQ(Process(h, 32, block.get(), &rows), 0);
    EXPECT_EQ(rows, nullptr);
  }
  EXPECT_EQ(kvo_params_count(block.get()), 3);  // the host's block is left as it was
  EXPECT_EQ(FetchLog(h), "");                   // the filter role logs nothing
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, NoCustomCommands) {
  const int32_t h = 107;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  char buffer[256];
  int32_t needed = 55;
  EXPECT_EQ(x_.GetCustomCommands(h, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, GetDataAndGetEventsAnswerWithoutRows) {
  const int32_t h = 108;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  Params parameters;
  parameters.Int("TYPE", 1);
  void* data = &parameters;
  TParamsList* rows = reinterpret_cast<TParamsList*>(uintptr_t{1});
  EXPECT_EQ(x_.GetData(h, 0, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(data, nullptr);

  // Events: the first call lends the (empty) event list, the second acknowledges it.
  TParamsList* events = nullptr;
  EXPECT_EQ(x_.GetEvents(h, 0, parameters.get(), &events), 0);
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(kvo_params_signature(events), KVO_PARAMS_SIGNATURE);
  EXPECT_EQ(kvo_params_is_rows(events), 1);
  TParamsList* const lent = events;
  EXPECT_EQ(x_.GetEvents(h, 0, parameters.get(), &events), 0);
  EXPECT_EQ(events, lent);
  EXPECT_EQ(kvo_params_count(events), 0);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, UnloadedInstanceRefusesData) {
  const int32_t h = 109;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  TParamsList* rows = nullptr;
  ASSERT_EQ(Process(h, 4, nullptr, &rows), 0);
  ASSERT_EQ(Command(h, "UNLOAD"), 0);
  EXPECT_EQ(Process(h, 4, nullptr, &rows), -1);
  EXPECT_EQ(Process(h, 32, nullptr, &rows), -1);
  EXPECT_EQ(FetchLog(h), "");  // refused before anything was logged
  // A new "LOAD" does not bring the data path back.
  ASSERT_EQ(Command(h, "LOAD"), 0);
  EXPECT_EQ(Process(h, 4, nullptr, &rows), -1);
  // The queries still answer.
  EXPECT_EQ(x_.GetModuleType(h), 32);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, TwoHandlesKeepSeparateLogs) {
  const int32_t a = 110;
  const int32_t b = 111;
  ASSERT_EQ(Command(a, "LOAD"), 0);
  ASSERT_EQ(Command(b, "LOAD"), 0);
  TParamsList* rows = nullptr;
  EXPECT_EQ(Process(a, 4, nullptr, &rows), 0);
  EXPECT_EQ(FetchLog(b), "");
  EXPECT_EQ(FetchLog(a), kNoDataLine);
  EXPECT_EQ(Command(a, "UNLOAD"), 0);
  EXPECT_EQ(Process(a, 4, nullptr, &rows), -1);
  EXPECT_EQ(Process(b, 4, nullptr, &rows), 0);  // the other handle is still loaded
  EXPECT_EQ(Command(b, "UNLOAD"), 0);
}

// Every export called many times through its pointer type. On 32-bit Windows the types say __stdcall:
// the module must remove its own arguments, or the caller's stack pointer drifts with every call. The
// stack pointer is compared before and after the whole batch; in between only the exports are called.
#if defined(_WIN32) && defined(__i386__)
#define KVO_READ_STACK_POINTER(out) __asm__ volatile("movl %%esp, %0" : "=r"(out) : : "memory")
#else
#define KVO_READ_STACK_POINTER(out) (out = 0)
#endif

struct BatchResult {
  uintptr_t sp_before = 0;
  uintptr_t sp_after = 0;
  int wrong = 0;  // calls whose result was not the expected one
};

[[gnu::noinline]] void CallEveryExport(const Exports& x, int32_t h, TParamsList* type4, TParamsList* items,
                                       TParamsList* no_command, int rounds, BatchResult* out) {
  uintptr_t before;
  KVO_READ_STACK_POINTER(before);
  int wrong = 0;
  char buffer[128];
  for (int i = 0; i < rounds; ++i) {
    int32_t needed = -1;
    void* data = nullptr;
    TParamsList* rows = nullptr;
    TParamsList* events = nullptr;
    wrong += x.GetPluginInterfaceVersion(h) != 3.0f;
    wrong += x.GetAppMinVersion(h) != 3.6f;
    wrong += x.GetModuleDescription(h) == nullptr;
    wrong += x.GetModuleType(h) != 32;
    wrong += x.MultiThreadSupport(h) != 1;
    wrong += x.ProcessData(h, static_cast<uint32_t>(i), type4, &data, &rows) != 0;
    wrong += x.GetLogEx(h, buffer, sizeof buffer, &needed) != 35 || needed != 35;
    wrong += x.GetCustomCommands(h, buffer, sizeof buffer, &needed) != 0 || needed != 0;
    x.ShowOptionsDialog(h, type4);
    wrong += x.ExecutePluginCommand(h, items) != 0;
    wrong += x.ExecutePluginCommand(h, no_command) != -1;
    wrong += x.GetData(h, static_cast<uint32_t>(i), type4, &data, &rows) != 0 || rows != nullptr;
    wrong += x.GetEvents(h, static_cast<uint32_t>(i), type4, &events) != 0 || events == nullptr;
  }
  uintptr_t after;
  KVO_READ_STACK_POINTER(after);
  out->sp_before = before;
  out->sp_after = after;
  out->wrong = wrong;
}

TEST_F(ModuleHost, ThousandsOfCallsKeepTheStackBalanced) {
  const int32_t h = 112;
  ASSERT_EQ(Command(h, "LOAD"), 0);
  Params type4;
  type4.Int("TYPE", 4);
  Params items;
  items.Text("COMMAND", "ITEMS").Text("RESULT", "");
  Params no_command;
  no_command.Int("TYPE", 4);
  ASSERT_EQ(std::strlen(kNoDataLine), 35u);
  BatchResult result;
  CallEveryExport(x_, h, type4.get(), items.get(), no_command.get(), 5000, &result);
  EXPECT_EQ(result.wrong, 0);
  EXPECT_EQ(result.sp_after, result.sp_before);
  EXPECT_EQ(Command(h, "UNLOAD"), 0);
}

#if defined(_WIN32)

// The host's notification window: a message-only window that counts the log notifications it receives.
struct Received {
  int count = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};
Received g_received;

LRESULT CALLBACK NotificationWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == KVO_MSG_LOG_CHANGED) {
    ++g_received.count;
    g_received.wparam = wparam;
    g_received.lparam = lparam;
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Lets the posted messages of this thread reach the window.
void Pump() {
  for (int round = 0; round < 20; ++round) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (g_received.count > 0) return;
    Sleep(5);
  }
}

TEST_F(ModuleHost, NewLogEntryIsPostedToTheHostWindow) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &NotificationWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "KvoModuleHostTestNotifications";
  ASSERT_NE(RegisterClassA(&window_class), 0) << GetLastError();
  HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr) << GetLastError();

  const int32_t h = 113;
  Params load;
  load.Int("MessagesProcessorHandle", static_cast<int32_t>(reinterpret_cast<intptr_t>(window)))
      .Int("ModuleIndex", 5);
  ASSERT_EQ(Command(h, "LOAD", load), 0);
  Pump();
  EXPECT_EQ(g_received.count, 0);  // loading logs nothing

  TParamsList* rows = nullptr;
  ASSERT_EQ(Process(h, 4, nullptr, &rows), 0);
  Pump();
  EXPECT_EQ(g_received.count, 1);
  EXPECT_EQ(g_received.wparam, 5u);
  EXPECT_EQ(g_received.lparam, 0);
  EXPECT_EQ(FetchLog(h), kNoDataLine);
  // One message per entry: fetching the log posts nothing.
  g_received = {};
  Pump();
  EXPECT_EQ(g_received.count, 0);
  ASSERT_EQ(Command(h, "UNLOAD"), 0);

  DestroyWindow(window);
  UnregisterClassA(window_class.lpszClassName, window_class.hInstance);
}

TEST_F(ModuleHost, FileVersionIsTheProjectVersion) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(KVO_DEADBAND_MODULE_PATH, &ignored);
  ASSERT_GT(size, 0u) << GetLastError();
  std::vector<unsigned char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(KVO_DEADBAND_MODULE_PATH, 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), KVO_EXPECTED_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), KVO_EXPECTED_VERSION_MINOR);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), KVO_EXPECTED_VERSION_PATCH);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), KVO_EXPECTED_VERSION_TWEAK);
}

#else  // POSIX

// The host's notification channel: the write end of a pipe that receives one 12-byte record per entry.
class Pipe {
 public:
  Pipe() {
    if (pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    if (fds_[0] >= 0) fcntl(fds_[0], F_SETFL, fcntl(fds_[0], F_GETFL) | O_NONBLOCK);
  }
  ~Pipe() {
    for (int fd : fds_)
      if (fd >= 0) close(fd);
  }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  // Every byte that is waiting now (after up to `wait_ms` for the first).
  std::vector<unsigned char> Drain(int wait_ms) const {
    std::vector<unsigned char> bytes;
    pollfd p{fds_[0], POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return bytes;
    unsigned char chunk[256];
    for (;;) {
      const ssize_t n = read(fds_[0], chunk, sizeof chunk);
      if (n <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
  }

 private:
  int fds_[2] = {-1, -1};
};

uint32_t LittleEndian32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

TEST_F(ModuleHost, NewLogEntryIsSentToTheHostChannel) {
  Pipe channel;
  ASSERT_GE(channel.read_end(), 0);
  const int32_t h = 113;
  Params load;
  load.Int("MessagesProcessorHandle", channel.write_end()).Int("ModuleIndex", 5);
  ASSERT_EQ(Command(h, "LOAD", load), 0);
  EXPECT_TRUE(channel.Drain(0).empty());  // loading logs nothing

  TParamsList* rows = nullptr;
  ASSERT_EQ(Process(h, 4, nullptr, &rows), 0);
  const std::vector<unsigned char> record = channel.Drain(1000);
  ASSERT_EQ(record.size(), 12u);
  EXPECT_EQ(LittleEndian32(record.data()), uint32_t{KVO_MSG_LOG_CHANGED});
  EXPECT_EQ(LittleEndian32(record.data() + 4), 5u);
  EXPECT_EQ(LittleEndian32(record.data() + 8), 0u);
  EXPECT_EQ(FetchLog(h), kNoDataLine);
  // One record per entry: fetching the log sends nothing.
  EXPECT_TRUE(channel.Drain(50).empty());
  ASSERT_EQ(Command(h, "UNLOAD"), 0);
}

TEST_F(ModuleHost, FileVersionIsTheProjectVersion) {
  uint32_t ignored = 1;
  const uint32_t size = kvo::platform::VersionInfoSize(KVO_DEADBAND_MODULE_PATH, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<uint32_t> info((size + 3) / 4);
  ASSERT_TRUE(kvo::platform::VersionInfoRead(KVO_DEADBAND_MODULE_PATH, 0, size, info.data()));
  const kvo::platform::FixedFileInfo* fixed = nullptr;
  ASSERT_TRUE(kvo::platform::VersionQueryRoot(info.data(), &fixed));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS >> 16, uint32_t{KVO_EXPECTED_VERSION_MAJOR});
  EXPECT_EQ(fixed->dwFileVersionMS & 0xFFFFu, uint32_t{KVO_EXPECTED_VERSION_MINOR});
  EXPECT_EQ(fixed->dwFileVersionLS >> 16, uint32_t{KVO_EXPECTED_VERSION_PATCH});
  EXPECT_EQ(fixed->dwFileVersionLS & 0xFFFFu, uint32_t{KVO_EXPECTED_VERSION_TWEAK});
}

#endif

}  // namespace
