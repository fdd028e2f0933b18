// The part of the message box both systems share: the handler a drawing layer puts in place.
#include <mutex>
#include <utility>

#include "platform/ui.h"

namespace kvo::platform {

// The system's own box, one per system.
void ShowSystemMessageBox(const char* text, const char* caption, MessageIcon icon);

namespace {
std::mutex g_handler_lock;
MessageBoxHandler g_handler;  // guarded by g_handler_lock
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard guard(g_handler_lock);
  g_handler = std::move(handler);
}

void ShowMessageBox(const char* text, const char* caption, MessageIcon icon) {
  MessageBoxHandler handler;
  {
    std::lock_guard guard(g_handler_lock);
    handler = g_handler;
  }
  // The box blocks: it runs outside the lock.
  if (handler && handler(text, caption, icon)) return;
  ShowSystemMessageBox(text, caption, icon);
}

}  // namespace kvo::platform
