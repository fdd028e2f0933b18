// Notifications on Windows: a message posted to the host's window.
#include "platform/notify.h"

#include <windows.h>

namespace kvo::platform {

bool PostNotification(intptr_t target, uint32_t message, uint32_t wparam, int32_t lparam) {
  // A stale handle only makes PostMessageA fail.
  return PostMessageA(reinterpret_cast<HWND>(target), message, static_cast<WPARAM>(wparam),
                      static_cast<LPARAM>(lparam)) != 0;
}

}  // namespace kvo::platform
