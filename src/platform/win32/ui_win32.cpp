// User interface on Windows: the system message box and the thread's message pump.
#include "platform/ui.h"

#include <windows.h>

namespace kvo::platform {

void ShowSystemMessageBox(const char* text, const char* caption, MessageIcon icon) {
  const UINT kind = icon == MessageIcon::kError ? MB_ICONERROR : 0u;
  MessageBoxA(nullptr, text != nullptr ? text : "", caption != nullptr ? caption : "", MB_OK | kind);
}

void ProcessPendingEvents() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave the quit request for the thread's own message loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace kvo::platform
