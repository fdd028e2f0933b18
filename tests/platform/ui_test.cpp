// Tests of the user-interface services: standard error on POSIX, the message pump on Windows.
#include <gtest/gtest.h>

#include <string>

#include "platform/ui.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kvo::platform {
namespace {

#if defined(_WIN32)

UINT g_dispatched = 0;
WPARAM g_wparam = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message >= WM_APP) {
    g_dispatched = message;
    g_wparam = wparam;
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST(Ui, ProcessPendingEventsDispatchesPostedMessages) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &RecordingProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "KvoPlatformTestWindow";
  ASSERT_NE(RegisterClassA(&window_class), 0);
  HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_APP + 3, 77, 0));
  ProcessPendingEvents();
  EXPECT_EQ(g_dispatched, WM_APP + 3u);
  EXPECT_EQ(g_wparam, 77u);
  DestroyWindow(window);
  UnregisterClassA(window_class.lpszClassName, window_class.hInstance);
}

TEST(Ui, ProcessPendingEventsLeavesQuitForTheLoop) {
  PostQuitMessage(3);
  ProcessPendingEvents();
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

#else

// Runs ShowMessageBox with standard error sent into a pipe and returns what it wrote.
std::string CaptureMessageBox(const char* text, const char* caption) {
  int fds[2];
  if (pipe(fds) != 0) return "<no pipe>";
  const int saved = dup(STDERR_FILENO);
  dup2(fds[1], STDERR_FILENO);
  close(fds[1]);
  ShowMessageBox(text, caption);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::string written;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
    written.append(buffer, size_t(n));
  }
  close(fds[0]);
  return written;
}

TEST(Ui, MessageBoxWritesOneLineToStandardError) {
  struct Case {
    const char* text;
    const char* caption;
    const char* line;
  };
  const Case cases[] = {
      {"Filter stopped", "Deadband", "Deadband: Filter stopped\n"},
      {"Filter stopped", "", "Filter stopped\n"},
      {"Filter stopped", nullptr, "Filter stopped\n"},
      {nullptr, "Deadband", "Deadband: \n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CaptureMessageBox(c.text, c.caption), c.line);
  }
}

#endif

}  // namespace
}  // namespace kvo::platform
