// Showing a form model on screen: the one entry the modules call, whatever toolkit draws the form
// (Qt Widgets on Linux, plain Win32 controls on Windows, or none). The toolkit's view binds its widgets
// to the model's controls by name and class: before showing, model values go to the widgets; when the
// dialog ends, widget values go back to the model, and then the form's Close runs its OnClose handler.
//
// Thread contract: ShowModal runs the dialog on the calling thread and returns when it ends; a toolkit
// may refuse threads other than the one it first ran on (then ShowModal fails). DisplayAvailable and
// SetShownHook may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "forms/form.h"

namespace kvo::view {

// Whether a dialog could be shown now; when not, `reason` (if given) says why.
bool DisplayAvailable(std::string* reason = nullptr);

// As DisplayAvailable, but a negative answer also goes to standard error, once per process.
bool CanShowDialogs();

// Shows `form` modally and returns its modal result (mrOk, mrCancel, ...). Returns mrNone, having shown
// nothing, run no handler and changed nothing, when no dialog can be shown; the reason then goes to
// standard error, once per process. Never raises.
int32_t ShowModal(TCustomForm& form);

// Called on the dialog's thread once the dialog is visible, with the toolkit's window (QDialog* or HWND),
// for automation. Empty: none.
using ShownHook = std::function<void(void* native_window)>;
void SetShownHook(ShownHook hook);

}  // namespace kvo::view
