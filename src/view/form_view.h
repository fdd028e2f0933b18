// Showing a form model on screen: the one entry the modules call, whatever toolkit draws the form
// (Qt Widgets on Linux, plain Win32 controls on Windows, or none). The toolkit's view binds its widgets
// to the model's controls by name and class: before showing, model values go to the widgets; when the
// dialog ends, widget values go back to the model, and then the form's Close runs its OnClose handler.
//
// While a dialog runs, it owns what it opens: the help window (THtmlHelp's owner window) and the message
// boxes the form's code shows (platform::ShowMessageBox, drawn by the toolkit over the dialog). The
// dialog ends through the form's Close, which may keep it open (caNone).
//
// Thread contract: ShowModal runs the dialog on the calling thread and returns when it ends; a toolkit
// may refuse threads other than the one it first ran on (then ShowModal fails). DisplayAvailable,
// SetShownHook and SetModalRunner may be called from any thread.
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

// For the drawing layer: the dialog is to end (its ModalResult was set, or its window is being closed)
// and the widgets' values are in the model. Runs the form's Close and answers whether the dialog ends;
// when the form stays open (caNone) its ModalResult is mrNone again.
bool CloseModal(TCustomForm& form);

// A drawing layer in place of the toolkit's (automation, or a host that draws forms itself): it runs
// `form` modally as the toolkit would, calls RunShownHook once the form is up and ends it through
// CloseModal; false, with `reason`, when it showed nothing. Empty: the toolkit's.
using ModalRunner = std::function<bool(TCustomForm& form, std::string* reason)>;
void SetModalRunner(ModalRunner runner);
// Called by a drawing layer once its dialog is visible, with its window (for automation, help and
// message boxes); runs the shown hook.
void RunShownHook(void* native_window);

// Called on the dialog's thread once the dialog is visible, with the toolkit's window (QDialog* or HWND),
// for automation. Empty: none.
using ShownHook = std::function<void(void* native_window)>;
void SetShownHook(ShownHook hook);

}  // namespace kvo::view
