// The instance log as the host fetches it with GetLogEx: entry format, repeat folding, the buffer
// protocol; and the notification the host receives after each new entry.
#include <string>

#include "plugin_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kvo::plugin_test {
namespace {

class Log : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    handle_ = NextHandle();
    instance_ = InstanceOf(handle_);
  }
  int32_t handle_ = 0;
  TkvoPlugin* instance_ = nullptr;
};

TEST_F(Log, FreshInstanceHasNothingPending) {
  char buffer[16];
  int32_t needed = 77;
  EXPECT_EQ(GetLogEx(handle_, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
}

TEST_F(Log, NullNeededGivesZeroAndKeepsTheLog) {
  instance_->AddLogMessage(1, "kept");
  char buffer[64];
  EXPECT_EQ(GetLogEx(handle_, buffer, sizeof buffer, nullptr), 0);
  EXPECT_EQ(GetCustomCommands(handle_, buffer, sizeof buffer, nullptr), 0);
  EXPECT_EQ(FetchLog(handle_), "kept||1");
}

TEST_F(Log, EntryWithoutTitleIsMessageBarsAndKind) {
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_EXPORT);
  ASSERT_EQ(Execute(handle_, "LOAD"), 0);
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  ASSERT_EQ(ProcessData(handle_, 1, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(FetchLog(handle_), "No data for processing||1");
}

TEST_F(Log, RepeatsFoldIntoOneLineWithTheirCount) {
  instance_->LogTitle = "Deadband";
  for (int i = 0; i < 3; ++i)
    instance_->AddLogMessage(1, instance_->MsgNoData);
  EXPECT_EQ(FetchLog(handle_), "Deadband. No data for processing {3 time(s)}||1\r\n");
}

TEST_F(Log, EntryAfterAFoldFollowsAnEmptyLine) {
  instance_->LogTitle = "Deadband";
  for (int i = 0; i < 3; ++i)
    instance_->AddLogMessage(1, instance_->MsgNoData);
  instance_->AddLogMessage(2, instance_->MsgWriteComplete);
  EXPECT_EQ(FetchLog(handle_),
            "Deadband. No data for processing {3 time(s)}||1\r\n"
            "\r\n"
            "Deadband. Data have been processed successful||2");
}

TEST_F(Log, FoldOfALaterEntryKeepsTheEarlierLines) {
  instance_->AddLogMessage(1, "a");
  instance_->AddLogMessage(1, "a");
  instance_->AddLogMessage(2, "b");
  instance_->AddLogMessage(2, "b");
  EXPECT_EQ(FetchLog(handle_), "a {2 time(s)}||1\r\n\r\nb {2 time(s)}||2\r\n");
}

TEST_F(Log, SameMessageWithAnotherKindIsANewEntry) {
  instance_->AddLogMessage(1, "a");
  instance_->AddLogMessage(2, "a");
  instance_->AddLogMessage(1, "a", true);
  EXPECT_EQ(FetchLog(handle_), "a||1\r\na||2\r\na||129");
}

TEST_F(Log, FetchInBetweenPreventsTheFold) {
  instance_->AddLogMessage(1, "again");
  EXPECT_EQ(FetchLog(handle_), "again||1");
  instance_->AddLogMessage(1, "again");
  EXPECT_EQ(FetchLog(handle_), "again||1");
}

TEST_F(Log, ClearInBetweenStartsTheCountAgain) {
  instance_->AddLogMessage(1, "x");
  instance_->AddLogMessage(1, "x");
  instance_->AddLogMessage(1, "x");
  instance_->ClearLog();
  instance_->AddLogMessage(1, "x");
  instance_->AddLogMessage(1, "x");
  EXPECT_EQ(FetchLog(handle_), "x {2 time(s)}||1\r\n");
}

struct EntryCase {
  const char* name;
  const char* title;
  std::string message;
  uint8_t kind;
  bool flag;
  std::string entry;
  // Shown in the test list by its name.
  friend void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }
};

class LogEntry : public Log, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(LogEntry, IsWrittenExactly) {
  const EntryCase& c = GetParam();
  instance_->LogTitle = c.title;
  instance_->AddLogMessage(c.kind, c.message, c.flag);
  EXPECT_EQ(FetchLog(handle_), c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    Log, LogEntry,
    ::testing::Values(EntryCase{"Plain", "", "No data for processing", 1, false, "No data for processing||1"},
                      EntryCase{"Title", "Deadband", "msg", 2, false, "Deadband. msg||2"},
                      EntryCase{"LineFeedBecomesSpace", "", "a\nb", 1, false, "a b||1"},
                      EntryCase{"CarriageReturnStays", "", "a\r\nb", 1, false, "a\r b||1"},
                      EntryCase{"FlagAddsHundredTwentyEight", "", "m", 1, true, "m||129"},
                      EntryCase{"KindZero", "", "m", 0, false, "m||0"},
                      EntryCase{"KindMax", "", "m", 127, true, "m||255"},
                      EntryCase{"EmptyMessage", "", "", 1, false, "||1"},
                      EntryCase{"TitleLineFeedKept", "T", "\n", 1, false, "T.  ||1"}),
    CaseName());

TEST_F(Log, RepeatedMessageWithBraceIsCutAtItsFirstBrace) {
  instance_->AddLogMessage(1, "value {x} and {y}");
  instance_->AddLogMessage(1, "value {x} and {y}");
  EXPECT_EQ(PendingLog(handle_), "value {2 time(s)}||1\r\n");
  instance_->AddLogMessage(1, "value {x} and {y}");
  EXPECT_EQ(FetchLog(handle_), "value {3 time(s)}||1\r\n");
}

TEST_F(Log, FoldTrimsTheTextAndTheCode) {
  instance_->AddLogMessage(1, "  padded  ");
  EXPECT_EQ(PendingLog(handle_), "  padded  ||1");
  instance_->AddLogMessage(1, "  padded  ");
  EXPECT_EQ(FetchLog(handle_), "padded {2 time(s)}||1\r\n");
}

TEST_F(Log, BufferOneByteShortChangesNothingThenTheExactSizeFetches) {
  instance_->AddLogMessage(1, "first");
  instance_->AddLogMessage(2, "second");
  const std::string expected = "first||1\r\nsecond||2";
  std::string buffer(expected.size() + 4, '#');
  int32_t needed = 0;
  const auto length = static_cast<int32_t>(expected.size());
  EXPECT_EQ(GetLogEx(handle_, buffer.data(), length - 1, &needed), 0);
  EXPECT_EQ(needed, length);
  EXPECT_EQ(buffer, std::string(expected.size() + 4, '#')) << "nothing copied";
  EXPECT_EQ(PendingLog(handle_), expected);

  needed = 0;
  EXPECT_EQ(GetLogEx(handle_, buffer.data(), length, &needed), length);
  EXPECT_EQ(needed, length);
  EXPECT_EQ(buffer.substr(0, expected.size()), expected);
  EXPECT_EQ(buffer.substr(expected.size()), "####") << "no terminating zero";
  EXPECT_EQ(PendingLog(handle_), "");
  EXPECT_EQ(GetLogEx(handle_, buffer.data(), length, &needed), 0);
  EXPECT_EQ(needed, 0);
}

TEST_F(Log, NegativeSizeOrNullBufferFetchesNothing) {
  instance_->AddLogMessage(1, "m");
  int32_t needed = 0;
  char buffer[16];
  EXPECT_EQ(GetLogEx(handle_, buffer, -1, &needed), 0);
  EXPECT_EQ(needed, 4);
  EXPECT_EQ(GetLogEx(handle_, nullptr, 16, &needed), 0);
  EXPECT_EQ(needed, 4);
  EXPECT_EQ(PendingLog(handle_), "m||1");
}

// --- the notification ---

#if defined(_WIN32)

// The notifications are taken from the queue with PeekMessage; nothing is dispatched to the window.
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

// A message-only window standing in for the host's.
class HostNotifications {
 public:
  HostNotifications() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = &HostWindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "KvoPluginTestHostWindow";
    registered_ = RegisterClassA(&window_class) != 0;
    window_ = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              window_class.hInstance, nullptr);
  }
  ~HostNotifications() {
    if (window_) DestroyWindow(window_);
    if (registered_) UnregisterClassA("KvoPluginTestHostWindow", GetModuleHandleA(nullptr));
  }
  bool ready() const { return window_ != nullptr; }
  int32_t handle() const { return static_cast<int32_t>(reinterpret_cast<intptr_t>(window_)); }
  // The next pending notification as "message,wparam,lparam", or "" when there is none.
  std::string Next() {
    MSG message{};
    if (!PeekMessageA(&message, window_, 0, 0, PM_REMOVE)) return "";
    return std::to_string(message.message) + "," + std::to_string(message.wParam) + "," +
           std::to_string(message.lParam);
  }

 private:
  bool registered_ = false;
  HWND window_ = nullptr;
};

#else

// A socket pair standing in for the host's window: the module writes into one end, the test reads the
// other without waiting.
class HostNotifications {
 public:
  HostNotifications() { ok_ = socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) == 0; }
  ~HostNotifications() {
    for (int fd : fds_) {
      if (fd >= 0) close(fd);
    }
  }
  bool ready() const { return ok_; }
  int32_t handle() const { return fds_[0]; }
  // The next pending record as "message,wparam,lparam", or "" when there is none.
  std::string Next() {
    unsigned char record[12];
    const ssize_t got = recv(fds_[1], record, sizeof record, MSG_DONTWAIT);
    if (got != 12) return got < 0 ? "" : "<short record>";
    auto word = [&](int at) {
      return static_cast<uint32_t>(record[at]) | static_cast<uint32_t>(record[at + 1]) << 8 |
             static_cast<uint32_t>(record[at + 2]) << 16 | static_cast<uint32_t>(record[at + 3]) << 24;
    };
    return std::to_string(word(0)) + "," + std::to_string(word(4)) + "," + std::to_string(word(8));
  }
  // Fills the module's end until the system takes no more.
  void Fill() {
    char block[4096] = {};
    while (send(fds_[0], block, sizeof block, MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
    }
  }
  void CloseReader() {
    close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  bool ok_ = false;
  int fds_[2] = {-1, -1};
};

#endif

class Notification : public Log {
 protected:
  void Load(int32_t module_index) {
    ASSERT_TRUE(host_.ready());
    HostList load;
    load.Int("MessagesProcessorHandle", host_.handle()).Int("ModuleIndex", module_index);
    ASSERT_EQ(Execute(handle_, "LOAD", load), 0);
  }
  HostNotifications host_;
};

TEST_F(Notification, EachNewEntryPostsOneMessageWithTheModuleIndex) {
  Load(7);
  EXPECT_EQ(host_.Next(), "") << "LOAD itself logs nothing";
  instance_->AddLogMessage(1, "one");
  EXPECT_EQ(host_.Next(), "1809,7,0");
  EXPECT_EQ(host_.Next(), "");
  instance_->AddLogMessage(1, "one");  // a fold is an entry too
  instance_->AddLogMessage(2, "two");
  EXPECT_EQ(host_.Next(), "1809,7,0");
  EXPECT_EQ(host_.Next(), "1809,7,0");
  EXPECT_EQ(host_.Next(), "");
}

TEST_F(Notification, DataCallsNotifyForTheirMessagesOnly) {
  Load(7);
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_EXPORT);
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  ASSERT_EQ(ProcessData(handle_, 1, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(host_.Next(), "1809,7,0");
  EXPECT_EQ(host_.Next(), "");

  instance_->MsgWriteComplete.clear();
  HostList block(true);
  block.Int("a", 1).NewRow();
  data = block.get();
  ASSERT_EQ(ProcessData(handle_, 1, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(host_.Next(), "") << "an empty message is not logged, so nobody is told";
  EXPECT_EQ(FetchLog(handle_), "");
}

TEST_F(Notification, HandleFromAnyCommandIsUsedAndTheLastUnloadForgetsIt) {
  ASSERT_TRUE(host_.ready());
  HostList command;
  command.Int("MessagesProcessorHandle", host_.handle());
  ASSERT_EQ(Execute(handle_, "NO-SUCH-COMMAND", command), -2);
  instance_->AddLogMessage(1, "before any LOAD");
  EXPECT_EQ(host_.Next(), "1809,0,0") << "module index 0 until a LOAD gives one";

  HostList load;
  load.Int("ModuleIndex", 3);
  ASSERT_EQ(Execute(handle_, "LOAD", load), 0);
  instance_->AddLogMessage(1, "loaded");
  EXPECT_EQ(host_.Next(), "1809,3,0");
  ASSERT_EQ(Execute(handle_, "UNLOAD"), 0);
  instance_->AddLogMessage(1, "after the last UNLOAD");
  EXPECT_EQ(host_.Next(), "");
}

#if !defined(_WIN32)

TEST_F(Notification, FullDescriptorNeitherBlocksNorLosesTheLog) {
  Load(7);
  host_.Fill();
  for (int i = 0; i < 100; ++i)
    instance_->AddLogMessage(1, "entry " + std::to_string(i));
  const std::string log = FetchLog(handle_);
  EXPECT_EQ(log.substr(0, 10), "entry 0||1");
  EXPECT_EQ(log.substr(log.size() - 11), "entry 99||1");
}

TEST_F(Notification, ClosedReaderNeitherBlocksNorKills) {
  Load(7);
  host_.CloseReader();
  instance_->AddLogMessage(1, "nobody listens");
  instance_->AddLogMessage(1, "still nobody");
  EXPECT_EQ(FetchLog(handle_), "nobody listens||1\r\nstill nobody||1");
}

#endif

}  // namespace
}  // namespace kvo::plugin_test
