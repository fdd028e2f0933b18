// The system help viewer: on POSIX the external viewer program it starts, on Windows the HTML Help
// control opening the module's built help file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/help.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#endif

namespace kvo::platform {
namespace {

TEST(HelpPath, JoinsFileTopicAndWindow) {
  struct Case {
    HelpTarget target;
    const char* path;
  };
  const Case cases[] = {
      {{"a.chm", "", ""}, "a.chm"},
      {{"a.chm", "", "main"}, "a.chm>main"},
      {{"a.chm", "t.html", ""}, "a.chm::t.html"},
      {{"a.chm", "t.html", "main"}, "a.chm::t.html>main"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HelpPathText(c.target), c.path);
}

#ifndef _WIN32

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment {
 public:
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had) {
        setenv(it->name.c_str(), it->value.c_str(), 1);
      } else {
        unsetenv(it->name.c_str());
      }
    }
  }
  void Set(const char* name, const std::string& value) {
    Save(name);
    setenv(name, value.c_str(), 1);
  }
  void Unset(const char* name) {
    Save(name);
    unsetenv(name);
  }

 private:
  struct Saved {
    std::string name;
    bool had;
    std::string value;
  };
  void Save(const char* name) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
  }
  std::vector<Saved> saved_;
};

// A folder with stand-in viewer programs that write the arguments they receive to a file, one per
// line in brackets.
class PosixViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvo-help-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/bin");
    env_.Set("DISPLAY", ":97");
    env_.Unset("WAYLAND_DISPLAY");
    env_.Unset("KVO_HELP_VIEWER");
    env_.Set("PATH", dir_ + "/bin");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // An executable script that records its arguments in `record`.
  std::string WriteRecorder(const std::string& path, const std::string& record) {
    std::ofstream script(path);
    script << "#!/bin/sh\n"
           << "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" << record << ".part'\n"
           << "/bin/mv '" << record << ".part' '" << record << "'\n";
    script.close();
    chmod(path.c_str(), 0755);
    return path;
  }

  // The recorded arguments, waiting for them at most 10 s; empty when none came.
  static std::vector<std::string> WaitForRecord(const std::string& record) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> args;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
      if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        args.push_back(line.substr(1, line.size() - 2));
      } else if (!args.empty()) {
        args.back() += "\n" + line;  // an argument that holds a line break
      }
    }
    return args;
  }

  std::string dir_;
  ScopedEnvironment env_;
};

TEST_F(PosixViewerTest, ViewerCommandReceivesTheFileAndTheContext) {
  const std::string record = dir_ + "/args";
  env_.Set("KVO_HELP_VIEWER", "'" + WriteRecorder(dir_ + "/viewer", record) + "' --file %f --context %c");
  const std::string file = dir_ + "/deadband.chm";

  HelpViewer& viewer = SystemHelpViewer();
  EXPECT_TRUE(viewer.Available());
  EXPECT_NE(viewer.ShowContext(0, {file, "", ""}, 80), 0u);
  EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{"--file", file, "--context", "80"}));
}

TEST_F(PosixViewerTest, FileNameIsPassedVerbatimWithoutShellInjection) {
  const std::string record = dir_ + "/args";
  env_.Set("KVO_HELP_VIEWER", "'" + WriteRecorder(dir_ + "/viewer", record) + "' %f %c %%");
  const std::string injected = dir_ + "/injected";
  const std::string file = dir_ + "/my help 'q' \"dq\" ;touch " + injected + "; $(touch " + injected +
                           ") `touch " + injected + "` $HOME * %c.chm";

  EXPECT_NE(SystemHelpViewer().ShowContext(0, {file, "", ""}, 80), 0u);
  EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{file, "80", "%"}));
  EXPECT_FALSE(std::filesystem::exists(injected));
}

TEST_F(PosixViewerTest, CommandWithoutFilePlaceholderGetsTheFileLast) {
  const std::string record = dir_ + "/args";
  env_.Set("KVO_HELP_VIEWER", "'" + WriteRecorder(dir_ + "/viewer", record) + "' -x");
  EXPECT_NE(SystemHelpViewer().ShowContext(0, {"/h/d.chm", "", ""}, 7), 0u);
  EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{"-x", "/h/d.chm"}));
}

TEST_F(PosixViewerTest, ProgramsOnPathServeWhenNoCommandIsSet) {
  struct Case {
    std::vector<const char*> programs;  // installed in the folder on PATH; the first records
    bool contents;
    std::vector<std::string> args;  // "FILE" stands for the help file
  };
  const Case cases[] = {
      {{"xchm", "xdg-open"}, false, {"-c", "80", "FILE"}},
      {{"xchm"}, true, {"FILE"}},
      {{"xdg-open"}, false, {"FILE"}},
      {{"xdg-open"}, true, {"FILE"}},
  };
  const std::string file = dir_ + "/deadband help.chm";
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_ + "/bin");
    std::filesystem::create_directories(dir_ + "/bin");
    const std::string record = dir_ + "/args";
    std::filesystem::remove(record);
    for (const char* program : c.programs)
      WriteRecorder(dir_ + "/bin/" + program, program == c.programs.front() ? record : dir_ + "/other");
    std::vector<std::string> expected = c.args;
    for (std::string& a : expected)
      if (a == "FILE") a = file;

    const HelpTarget target{file, "", ""};
    const HelpWindow shown = c.contents ? SystemHelpViewer().ShowContents(0, target)
                                        : SystemHelpViewer().ShowContext(0, target, 80);
    EXPECT_NE(shown, 0u) << c.programs.front();
    EXPECT_EQ(WaitForRecord(record), expected) << c.programs.front();
  }
}

TEST_F(PosixViewerTest, NoViewerInstalledReportsFailure) {
  EXPECT_EQ(SystemHelpViewer().ShowContext(0, {dir_ + "/d.chm", "", ""}, 80), 0u);
}

TEST_F(PosixViewerTest, WithoutADisplayNothingIsStarted) {
  const std::string record = dir_ + "/args";
  env_.Set("KVO_HELP_VIEWER", "'" + WriteRecorder(dir_ + "/viewer", record) + "' %f %c");
  env_.Unset("DISPLAY");
  HelpViewer& viewer = SystemHelpViewer();
  EXPECT_FALSE(viewer.Available());
  EXPECT_EQ(viewer.ShowContext(0, {dir_ + "/d.chm", "", ""}, 80), 0u);
  EXPECT_EQ(viewer.ShowContents(0, {dir_ + "/d.chm", "", ""}), 0u);
  EXPECT_FALSE(std::filesystem::exists(record));

  env_.Set("WAYLAND_DISPLAY", "wayland-0");
  EXPECT_TRUE(viewer.Available());
}

TEST_F(PosixViewerTest, TheViewerIsNeitherWaitedForNorLeftAsAChild) {
  // A viewer that stays open: the request still returns at once.
  env_.Set("KVO_HELP_VIEWER", "exec /bin/sleep 30 # %f");
  const auto start = std::chrono::steady_clock::now();
  const HelpWindow viewer = SystemHelpViewer().ShowContext(0, {"d.chm", "", ""}, 80);
  ASSERT_NE(viewer, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // It runs in a process that is not this one's child, so there is nothing to reap here.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_EQ(kill(static_cast<pid_t>(viewer), SIGTERM), 0);
}

TEST_F(PosixViewerTest, AProgramThatCannotRunReportsFailure) {
  const std::string path = dir_ + "/bin/xdg-open";
  std::ofstream(path) << "not a program\n";
  chmod(path.c_str(), 0755);
  EXPECT_EQ(SystemHelpViewer().ShowContext(0, {"d.chm", "", ""}, 80), 0u);
}

#else  // _WIN32

bool CanOpenWindows() {
  HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

std::string WindowsPath(std::string path) {
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

TEST(Win32Viewer, TheHtmlHelpControlIsRegisteredAndLoads) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32",
                          0, KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  DWORD type = 0;
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(type == REG_SZ || type == REG_EXPAND_SZ) << type;
  EXPECT_NE(std::string(value).find("hhctrl.ocx"), std::string::npos) << value;
  EXPECT_TRUE(SystemHelpViewer().Available());
}

#ifdef KVO_HELP_FILE
TEST(Win32Viewer, OpensTheBuiltHelpFileAtTheDialogsContext) {
  const HelpTarget target{WindowsPath(KVO_HELP_FILE), "", ""};
  if (!CanOpenWindows()) {
    // Without a display the request must still come back, empty-handed.
    EXPECT_EQ(SystemHelpViewer().ShowContext(0, target, 80), 0u);
    GTEST_SKIP() << "no display: the help window cannot open (run under xvfb-run)";
  }
  const HelpWindow window = SystemHelpViewer().ShowContext(0, target, 80);
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(IsWindow(reinterpret_cast<HWND>(window)));
  // A context number the file does not map opens nothing.
  EXPECT_EQ(SystemHelpViewer().ShowContext(0, target, 4711), 0u);
}

// The module closes the viewer's windows and releases it when its last instance unloads, never from its
// detach under the loader lock: unloading with a window open leaves the window to its thread, and a
// request after a release loads the viewer again.
TEST(Win32Viewer, ReleasingTheViewerClosesItsHelpWindowsAndUnloadingLeavesThemAlone) {
  if (!CanOpenWindows()) GTEST_SKIP() << "no display: the help window cannot open (run under xvfb-run)";
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string probe = program;
  probe = probe.substr(0, probe.find_last_of("/\\") + 1) + KVO_PROBE_FILE_NAME;
  HMODULE module = LoadLibraryA(probe.c_str());
  ASSERT_NE(module, nullptr) << probe;
  using ShowFunction = uintptr_t (*)(const char*, uint32_t);
  using ReleaseFunction = void (*)();
  const auto show =
      reinterpret_cast<ShowFunction>(reinterpret_cast<void*>(GetProcAddress(module, "KvoProbeShowHelp")));
  const auto release = reinterpret_cast<ReleaseFunction>(
      reinterpret_cast<void*>(GetProcAddress(module, "KvoProbeReleaseHelp")));
  ASSERT_NE(show, nullptr);
  ASSERT_NE(release, nullptr);
  const HWND window = reinterpret_cast<HWND>(show(WindowsPath(KVO_HELP_FILE).c_str(), 80));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindow(window));
  release();
  EXPECT_FALSE(IsWindow(window));

  const HWND again = reinterpret_cast<HWND>(show(WindowsPath(KVO_HELP_FILE).c_str(), 80));
  ASSERT_NE(again, nullptr) << "the viewer loads again after a release";
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(IsWindow(again)) << "the detach path must not touch the viewer";
  DestroyWindow(again);
  EXPECT_FALSE(IsWindow(again));
}
#endif

#endif  // _WIN32

}  // namespace
}  // namespace kvo::platform
