// Drives a dialog on screen as a person would, through the toolkit's own means (Qt events, Win32 window
// messages), finding each widget by the name of the model control it shows. One implementation per
// toolkit; the dialog tests are written once against this interface.
//
// Thread contract: used only on the dialog's thread, inside its modal loop (from the view's shown hook).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kvo::view_test {

struct Box {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A message box as the user saw it.
struct MessageSeen {
  bool shown = false;
  std::string text;
  std::string caption;
  bool error_icon = false;
  bool owned_by_dialog = false;
};

class DialogDriver {
 public:
  virtual ~DialogDriver() = default;

  // What a control shows: a combo box's text, a spin edit's text, a button's or label's caption.
  virtual std::string Text(const std::string& name) = 0;
  virtual std::vector<std::string> Items(const std::string& name) = 0;
  virtual int ItemIndex(const std::string& name) = 0;
  // The name of the control that has the focus ("" for none).
  virtual std::string Focused() = 0;
  // The title bar text.
  virtual std::string Title() = 0;

  // Typing into an editable combo box or a spin edit (its whole text replaced).
  virtual void Type(const std::string& name, const std::string& text) = 0;
  // Picking an item of a combo box's list.
  virtual void Pick(const std::string& name, int index) = 0;
  // The up arrow of a spin edit.
  virtual void StepUp(const std::string& name) = 0;
  // Pressing and releasing Escape or Enter in the focused control.
  virtual void PressEscape() = 0;
  virtual void PressEnter() = 0;
  // F1 in the focused control.
  virtual void PressF1() = 0;
  virtual void Click(const std::string& name) = 0;
  // Resizing the window, frame included (the toolkit may refuse sizes outside the constraints).
  virtual void Resize(int width, int height) = 0;
  virtual Box ClientArea() = 0;
  // The whole window on the screen, frame included.
  virtual Box Frame() = 0;
  // The part of the dialog's screen that is free of panels.
  virtual Box WorkArea() = 0;
  // The next message box the dialog shows is recorded in `*seen` (which must outlive it) and closed
  // with its OK button, as a user would.
  virtual void CloseNextMessageBox(MessageSeen* seen) = 0;
  // Where a control stands in the client area.
  virtual Box Geometry(const std::string& name) = 0;
  // Whether the dialog is still showing.
  virtual bool Open() = 0;
  // Saves a picture of the dialog; false when it could not.
  virtual bool SavePicture(const std::string& path) = 0;
};

std::unique_ptr<DialogDriver> MakeDriver(void* native_window);

}  // namespace kvo::view_test
