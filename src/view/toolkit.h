// The part of the view that one toolkit supplies; exactly one implementation is linked (Qt, Win32, or
// none). Internal to the view.
//
// Thread contract: as ShowModal (the calling thread runs the dialog).
#pragma once

#include <string>

#include "forms/form.h"

namespace kvo::view {

// Whether the toolkit can show a dialog now; otherwise sets `reason`.
bool ToolkitAvailable(std::string* reason);

// Runs `form` as a modal dialog: widgets from the model, the user's actions fed to the model, widget
// values back into the model when it ends. The model's ModalResult then says how it ended (mrNone:
// closed by the window). Returns false, with `reason`, if nothing could be shown.
bool ToolkitRunModal(TCustomForm& form, std::string* reason);

// Called by the toolkit once the dialog is visible.
void RunShownHook(void* native_window);

}  // namespace kvo::view
