// The little the module asks of the user interface outside its dialogs.
//
// Thread contract: [any-thread]; both act on the calling thread. The message box handler may be set and
// replaced from any thread; it runs on the thread that shows the message.
#pragma once

#include <cstdint>
#include <functional>

namespace kvo::platform {

enum class MessageIcon : uint8_t { kNone, kError };

// Shows a blocking message box with one OK button. The handler set below answers first; otherwise the
// system's box (MessageBoxA, no owner), or, without a user interface (POSIX), "caption: text" as one line
// on standard error, returning at once. Null caption means none.
void ShowMessageBox(const char* text, const char* caption, MessageIcon icon = MessageIcon::kNone);

// A drawing layer that shows dialogs puts its own box in place (owned by its open dialog); the handler
// returns false to leave the message to the system's box. Empty: none.
using MessageBoxHandler = std::function<bool(const char* text, const char* caption, MessageIcon icon)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Lets pending user-interface events of the calling thread run (the Windows message pump); nothing
// where there is no user interface.
void ProcessPendingEvents();

}  // namespace kvo::platform
