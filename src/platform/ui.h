// The little the module asks of the user interface outside its dialogs.
//
// Thread contract: [any-thread]; both act on the calling thread.
#pragma once

namespace kvo::platform {

// Shows a blocking message box with one OK button (MessageBoxA, no owner). Without a user interface
// (POSIX) it writes "caption: text" as one line to standard error and returns at once. Null caption
// means none.
void ShowMessageBox(const char* text, const char* caption);

// Lets pending user-interface events of the calling thread run (the Windows message pump); nothing
// where there is no user interface.
void ProcessPendingEvents();

}  // namespace kvo::platform
