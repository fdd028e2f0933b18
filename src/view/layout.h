// What every toolkit view needs from a form model, free of any toolkit: which kind of widget a control
// is drawn as, where it stands in the form's client coordinates, the order the focus moves in, and the
// help context that F1 asks for.
//
// Thread contract: pure functions over a form that the caller holds (one thread at a time).
#pragma once

#include <cstdint>
#include <vector>

#include "forms/controls.h"
#include "forms/form.h"

namespace kvo::view {

enum class ControlKind : uint8_t { kOther, kLabel, kPanel, kGroupBox, kBevel, kButton, kComboBox, kSpinEdit };

ControlKind KindOf(const TControl& control) noexcept;

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const Rect&) const = default;
};

// The control's rectangle relative to the top-left corner of its form's client area; for the form itself
// its client area (its size less the window frame).
Rect FormRect(const TControl& control) noexcept;

// Every control of the form, each container before its children (the order to create widgets in, so
// that containers stay below what they hold).
std::vector<TControl*> ControlsInPaintOrder(const TCustomForm& form);

// The controls that take the focus with Tab, in order: containers are entered in their tab order.
std::vector<TWinControl*> TabSequence(const TCustomForm& form);

// The help context for a request made while `control` has the focus: its own, else its parents' up to
// the form's; 0 for none.
int32_t HelpContextFor(const TControl* control) noexcept;

}  // namespace kvo::view
