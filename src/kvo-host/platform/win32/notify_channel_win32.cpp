#include <windows.h>

#include <string>

#include "kvo-host/platform/notify_channel.h"

namespace kvo::host::sys {

namespace {

constexpr const char* kClassName = "KvoHostNotifications";

LRESULT CALLBACK ChannelWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

NotifyChannel::~NotifyChannel() {
  if (target_ != 0) DestroyWindow(reinterpret_cast<HWND>(target_));
}

bool NotifyChannel::Open(std::string* error) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &ChannelWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClassName;
  if (RegisterClassA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    if (error)
      *error = "cannot register the notification window class (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  HWND window = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  if (window == nullptr) {
    if (error) *error = "cannot create the notification window (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  target_ = reinterpret_cast<intptr_t>(window);
  return true;
}

int NotifyChannel::Drain(uint32_t message) {
  if (target_ == 0) return 0;
  int count = 0;
  MSG msg;
  while (PeekMessageA(&msg, reinterpret_cast<HWND>(target_), message, message, PM_REMOVE))
    ++count;
  return count;
}

}  // namespace kvo::host::sys
