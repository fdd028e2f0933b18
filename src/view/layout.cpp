// Control kinds, form coordinates, tab and paint order, and help contexts of a form model.
#include "view/layout.h"

#include <algorithm>

namespace kvo::view {
namespace {

void CollectPaintOrder(const TWinControl& parent, std::vector<TControl*>& out) {
  for (int32_t i = 0; i < parent.ControlCount(); ++i) {
    TControl* child = parent.Controls(i);
    out.push_back(child);
    if (auto* windowed = dynamic_cast<TWinControl*>(child)) CollectPaintOrder(*windowed, out);
  }
}

void CollectTabs(const TWinControl& parent, std::vector<TWinControl*>& out) {
  std::vector<TWinControl*> windowed;
  for (int32_t i = 0; i < parent.ControlCount(); ++i) {
    if (auto* child = dynamic_cast<TWinControl*>(parent.Controls(i))) windowed.push_back(child);
  }
  std::stable_sort(windowed.begin(), windowed.end(),
                   [](const TWinControl* a, const TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TWinControl* child : windowed) {
    if (!child->Visible() || !child->Enabled()) continue;
    if (child->TabStop()) out.push_back(child);
    // A container passes the focus on to what it holds.
    if (child->ControlCount() > 0) CollectTabs(*child, out);
  }
}

}  // namespace

ControlKind KindOf(const TControl& control) noexcept {
  if (dynamic_cast<const TLabel*>(&control)) return ControlKind::kLabel;
  if (dynamic_cast<const TPanel*>(&control)) return ControlKind::kPanel;
  if (dynamic_cast<const TGroupBox*>(&control)) return ControlKind::kGroupBox;
  if (dynamic_cast<const TBevel*>(&control)) return ControlKind::kBevel;
  if (dynamic_cast<const TButton*>(&control)) return ControlKind::kButton;
  if (dynamic_cast<const TComboBox*>(&control)) return ControlKind::kComboBox;
  if (dynamic_cast<const TRxSpinEdit*>(&control)) return ControlKind::kSpinEdit;
  return ControlKind::kOther;
}

Rect FormRect(const TControl& control) noexcept {
  if (const auto* form = dynamic_cast<const TCustomForm*>(&control))
    return Rect{0, 0, form->ClientWidth() + 2 * form->BorderWidth(),
                form->ClientHeight() + 2 * form->BorderWidth()};
  Rect r{control.Left(), control.Top(), control.Width(), control.Height()};
  for (const TWinControl* parent = control.Parent(); parent != nullptr; parent = parent->Parent()) {
    // Children stand in their parent's client area, which is inset by the parent's border.
    r.left += parent->BorderWidth();
    r.top += parent->BorderWidth();
    if (dynamic_cast<const TCustomForm*>(parent)) break;
    r.left += parent->Left();
    r.top += parent->Top();
  }
  return r;
}

std::vector<TControl*> ControlsInPaintOrder(const TCustomForm& form) {
  std::vector<TControl*> out;
  CollectPaintOrder(form, out);
  return out;
}

std::vector<TWinControl*> TabSequence(const TCustomForm& form) {
  std::vector<TWinControl*> out;
  CollectTabs(form, out);
  return out;
}

int32_t HelpContextFor(const TControl* control) noexcept {
  for (const TControl* c = control; c != nullptr; c = c->Parent()) {
    if (c->HelpContext() != 0) return c->HelpContext();
  }
  return 0;
}

}  // namespace kvo::view
