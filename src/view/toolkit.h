// The part of the view that one toolkit supplies; exactly one implementation is linked (Qt, Win32, or
// none). Internal to the view.
//
// Thread contract: as ShowModal (the calling thread runs the dialog).
#pragma once

#include <string>

#include "forms/form.h"
#include "view/form_view.h"

namespace kvo::view {

// Whether the toolkit can show a dialog now; otherwise sets `reason`.
bool ToolkitAvailable(std::string* reason);

// Runs `form` as a modal dialog: widgets from the model, the user's actions fed to the model, widget
// values back into the model and CloseModal when it is to end (it goes on when CloseModal says so). A
// form whose Position is poScreenCenter is centred on the screen. Returns false, with `reason`, if
// nothing could be shown.
bool ToolkitRunModal(TCustomForm& form, std::string* reason);

// A message box with an OK button owned by `owner_window` (a window the toolkit gave RunShownHook),
// shown on the calling thread; false when the toolkit has none.
bool ToolkitMessageBox(void* owner_window, const std::string& text, const std::string& caption, bool error);

}  // namespace kvo::view
