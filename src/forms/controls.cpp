// Geometry, parent links, layout and the state rules of the dialog controls.
#include "forms/controls.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "forms/form.h"
#include "runtime/publish.h"
#include "text/text_utils.h"

namespace kvo {

// --- TControl ---

constinit const PropInfo TControl::kPublished[] = {
    Publish<TControl>::Integer<&TControl::Left, &TControl::SetLeft>("Left"),
    Publish<TControl>::Integer<&TControl::Top, &TControl::SetTop>("Top"),
    Publish<TControl>::Integer<&TControl::Width, &TControl::SetWidth>("Width"),
    Publish<TControl>::Integer<&TControl::Height, &TControl::SetHeight>("Height"),
    Publish<TControl>::Enumeration<&TControl::Align, &TControl::SetAlign>("Align", kAlignInfo),
    Publish<TControl>::Set<&TControl::Anchors, &TControl::SetAnchors>("Anchors", kAnchorKindInfo),
    Publish<TControl>::Boolean<&TControl::Visible, &TControl::SetVisible>("Visible"),
    Publish<TControl>::Boolean<&TControl::Enabled, &TControl::SetEnabled>("Enabled"),
    Publish<TControl>::String<&TControl::Hint, &TControl::SetHint>("Hint"),
    Publish<TControl>::Object<&TControl::Parent, &TControl::SetParent>("Parent"),
};
constinit const TClassInfo TControl::StaticClass{"TControl", &TComponent::StaticClass, TControl::kPublished};

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  SetParent(nullptr);
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  ConstrainSize(width, height);
  width = std::max(width, 0);
  height = std::max(height, 0);
  const int32_t dw = width - FWidth;
  const int32_t dh = height - FHeight;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  if (dw == 0 && dh == 0) return;
  SizeChanged(dw, dh);
  Resize();
}

void TControl::SetAlign(TAlign align) {
  if (align == FAlign) return;
  FAlign = align;
  // The new alignment takes effect at once, not at the parent's next resize.
  if (FParent != nullptr && align != TAlign::alNone) FParent->AlignControls(0, 0);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (FParent != nullptr) {
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    auto& tabs = FParent->FTabList;
    tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
  }
  FParent = parent;
  if (parent == nullptr) return;
  parent->FControls.push_back(this);
  if (auto* windowed = dynamic_cast<TWinControl*>(this)) parent->FTabList.push_back(windowed);
  if (FAlign != TAlign::alNone) parent->AlignControls(0, 0);
}

TCustomForm* TControl::ParentForm() const noexcept {
  const TControl* control = this;
  while (control->FParent != nullptr)
    control = control->FParent;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(control));
}

// --- TWinControl ---

constinit const PropInfo TWinControl::kPublished[] = {
    Publish<TWinControl>::Integer<&TWinControl::HelpContext, &TWinControl::SetHelpContext>("HelpContext"),
    Publish<TWinControl>::Integer<&TWinControl::TabOrder, &TWinControl::SetTabOrder>("TabOrder"),
    Publish<TWinControl>::Boolean<&TWinControl::TabStop, &TWinControl::SetTabStop>("TabStop"),
    Publish<TWinControl>::Integer<&TWinControl::BorderWidth, &TWinControl::SetBorderWidth>("BorderWidth"),
};
constinit const TClassInfo TWinControl::StaticClass{"TWinControl", &TControl::StaticClass,
                                                    TWinControl::kPublished};

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children owned elsewhere outlive this control; they must not point back at it.
  for (TControl* child : FControls)
    child->FParent = nullptr;
  FControls.clear();
  FTabList.clear();
}

void TWinControl::SetBorderWidth(int32_t width) {
  width = std::max(width, 0);
  const int32_t change = 2 * (FBorderWidth - width);
  FBorderWidth = width;
  if (change != 0) AlignControls(change, change);
}

int32_t TWinControl::TabOrder() const noexcept {
  const TWinControl* parent = Parent();
  if (parent == nullptr) return -1;
  const auto& tabs = parent->FTabList;
  const auto it = std::find(tabs.begin(), tabs.end(), this);
  return it == tabs.end() ? -1 : static_cast<int32_t>(it - tabs.begin());
}

void TWinControl::SetTabOrder(int32_t order) {
  TWinControl* parent = Parent();
  if (parent == nullptr) return;
  auto& tabs = parent->FTabList;
  tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
  const auto pos = static_cast<size_t>(std::clamp<int32_t>(order, 0, static_cast<int32_t>(tabs.size())));
  tabs.insert(tabs.begin() + static_cast<std::ptrdiff_t>(pos), this);
}

void TWinControl::AlignControls(int32_t client_width_change, int32_t client_height_change) {
  // Anchored children first: they follow the change of the client size.
  for (TControl* c : FControls) {
    if (c->FAlign != TAlign::alNone) continue;
    const TAnchors a = c->FAnchors;
    int32_t left = c->FLeft;
    int32_t top = c->FTop;
    int32_t width = c->FWidth;
    int32_t height = c->FHeight;
    const bool l = a.Contains(TAnchorKind::akLeft);
    const bool r = a.Contains(TAnchorKind::akRight);
    const bool t = a.Contains(TAnchorKind::akTop);
    const bool b = a.Contains(TAnchorKind::akBottom);
    if (l && r) {
      width += client_width_change;
    } else if (r) {
      left += client_width_change;
    } else if (!l) {
      left += client_width_change / 2;  // neither edge: keeps its place relative to the centre
    }
    if (t && b) {
      height += client_height_change;
    } else if (b) {
      top += client_height_change;
    } else if (!t) {
      top += client_height_change / 2;
    }
    if (left != c->FLeft || top != c->FTop || width != c->FWidth || height != c->FHeight) {
      c->SetBounds(left, top, width, height);
    }
  }
  // Then the aligned ones share the client area.
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = ClientWidth();
  int32_t y1 = ClientHeight();
  for (TControl* c : FControls) {
    if (c->FAlign == TAlign::alTop) {
      c->SetBounds(x0, y0, x1 - x0, c->FHeight);
      y0 += c->FHeight;
    } else if (c->FAlign == TAlign::alBottom) {
      c->SetBounds(x0, y1 - c->FHeight, x1 - x0, c->FHeight);
      y1 -= c->FHeight;
    }
  }
  for (TControl* c : FControls) {
    if (c->FAlign == TAlign::alLeft) {
      c->SetBounds(x0, y0, c->FWidth, y1 - y0);
      x0 += c->FWidth;
    } else if (c->FAlign == TAlign::alRight) {
      c->SetBounds(x1 - c->FWidth, y0, c->FWidth, y1 - y0);
      x1 -= c->FWidth;
    }
  }
  for (TControl* c : FControls) {
    if (c->FAlign == TAlign::alClient) c->SetBounds(x0, y0, x1 - x0, y1 - y0);
  }
}

// --- simple controls ---

constinit const PropInfo TLabel::kPublished[] = {
    Publish<TLabel>::String<&TLabel::Caption, &TLabel::Caption>("Caption"),
    Publish<TLabel>::Boolean<&TLabel::WordWrap, &TLabel::WordWrap>("WordWrap"),
    Publish<TLabel>::Enumeration<&TLabel::Layout, &TLabel::Layout>("Layout", kTextLayoutInfo),
    Publish<TLabel>::Integer<&TLabel::HelpContext, &TLabel::SetHelpContext>("HelpContext"),
};
constinit const TClassInfo TLabel::StaticClass{"TLabel", &TControl::StaticClass, TLabel::kPublished};

constinit const PropInfo TPanel::kPublished[] = {
    Publish<TPanel>::String<&TPanel::Caption, &TPanel::Caption>("Caption"),
    Publish<TPanel>::Enumeration<&TPanel::BevelOuter, &TPanel::BevelOuter>("BevelOuter", kBevelCutInfo),
    Publish<TPanel>::Method<&TPanel::OnResize>("OnResize"),
};
constinit const TClassInfo TPanel::StaticClass{"TPanel", &TWinControl::StaticClass, TPanel::kPublished};

constinit const PropInfo TGroupBox::kPublished[] = {
    Publish<TGroupBox>::String<&TGroupBox::Caption, &TGroupBox::Caption>("Caption"),
};
constinit const TClassInfo TGroupBox::StaticClass{"TGroupBox", &TWinControl::StaticClass,
                                                  TGroupBox::kPublished};

constinit const PropInfo TBevel::kPublished[] = {
    Publish<TBevel>::Enumeration<&TBevel::Shape, &TBevel::Shape>("Shape", kBevelShapeInfo),
    Publish<TBevel>::Enumeration<&TBevel::Style, &TBevel::Style>("Style", kBevelStyleInfo),
};
constinit const TClassInfo TBevel::StaticClass{"TBevel", &TControl::StaticClass, TBevel::kPublished};

// --- TButton ---

constinit const PropInfo TButton::kPublished[] = {
    Publish<TButton>::String<&TButton::Caption, &TButton::Caption>("Caption"),
    Publish<TButton>::Integer<&TButton::ModalResult, &TButton::ModalResult>("ModalResult"),
    Publish<TButton>::Boolean<&TButton::Default, &TButton::Default>("Default"),
    Publish<TButton>::Boolean<&TButton::Cancel, &TButton::Cancel>("Cancel"),
    Publish<TButton>::Method<&TButton::OnClick>("OnClick"),
};
constinit const TClassInfo TButton::StaticClass{"TButton", &TWinControl::StaticClass, TButton::kPublished};

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
}

void TButton::Click() {
  if (ModalResult != mrNone) {
    if (TCustomForm* form = ParentForm()) form->ModalResult = ModalResult;
  }
  OnClick(*this);
}

// --- TComboBox ---

constinit const PropInfo TComboBox::kPublished[] = {
    Publish<TComboBox>::Enumeration<&TComboBox::Style, &TComboBox::SetStyle>("Style", kComboBoxStyleInfo),
    Publish<TComboBox>::Object<static_cast<const TStringList& (TComboBox::*)() const>(&TComboBox::Items),
                               &TComboBox::SetItems>("Items"),
    Publish<TComboBox>::Integer<&TComboBox::ItemIndex, &TComboBox::SetItemIndex>("ItemIndex"),
    Publish<TComboBox>::String<&TComboBox::Text, &TComboBox::SetText>("Text"),
};
constinit const TClassInfo TComboBox::StaticClass{"TComboBox", &TWinControl::StaticClass,
                                                  TComboBox::kPublished};

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
}

void TComboBox::SetStyle(TComboBoxStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  // A drop-down list shows only items: its own text would never be seen again.
  if (style == TComboBoxStyle::csDropDownList) FText.clear();
}

void TComboBox::SetItems(const TStringList& items) {
  FItems.Assign(items);
}

int32_t TComboBox::ItemIndex() const noexcept {
  return FItemIndex >= 0 && FItemIndex < FItems.Count() ? FItemIndex : -1;
}

void TComboBox::SetItemIndex(int32_t index) {
  if (index < 0 || index >= FItems.Count()) {
    FItemIndex = -1;
    FText.clear();
    return;
  }
  FItemIndex = index;
  FText = FItems[index];
}

std::string TComboBox::Text() const {
  if (FStyle != TComboBoxStyle::csDropDownList) return FText;
  const int32_t index = ItemIndex();
  return index < 0 ? std::string() : FItems[index];
}

void TComboBox::SetText(std::string_view text) {
  if (FStyle == TComboBoxStyle::csDropDownList) {
    SetItemIndex(FItems.IndexOf(text));
    return;
  }
  FText.assign(text);
  FItemIndex = -1;
}

// --- TRxSpinEdit ---

constinit const PropInfo TRxSpinEdit::kPublished[] = {
    Publish<TRxSpinEdit>::Enumeration<&TRxSpinEdit::ValueType, &TRxSpinEdit::SetValueType>("ValueType",
                                                                                           kValueTypeInfo),
    Publish<TRxSpinEdit>::Integer<&TRxSpinEdit::Decimals, &TRxSpinEdit::SetDecimals>("Decimals"),
    Publish<TRxSpinEdit>::Float<&TRxSpinEdit::Increment, &TRxSpinEdit::Increment>("Increment"),
    Publish<TRxSpinEdit>::Float<&TRxSpinEdit::MinValue, &TRxSpinEdit::SetMinValue>("MinValue"),
    Publish<TRxSpinEdit>::Float<&TRxSpinEdit::MaxValue, &TRxSpinEdit::SetMaxValue>("MaxValue"),
    Publish<TRxSpinEdit>::Float<&TRxSpinEdit::Value, &TRxSpinEdit::SetValue>("Value"),
    Publish<TRxSpinEdit>::String<&TRxSpinEdit::Text, &TRxSpinEdit::SetText>("Text"),
};
constinit const TClassInfo TRxSpinEdit::StaticClass{"TRxSpinEdit", &TWinControl::StaticClass,
                                                    TRxSpinEdit::kPublished};

TRxSpinEdit::TRxSpinEdit(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
}

double TRxSpinEdit::CheckValue(double value) const noexcept {
  if (!std::isfinite(value)) value = 0.0;
  if (FValueType != TValueType::vtFloat) value = std::round(value);
  if (FMinValue != 0.0 || FMaxValue != 0.0)
    value = std::clamp(value, FMinValue, std::max(FMinValue, FMaxValue));
  return value;
}

void TRxSpinEdit::SetValue(double value) {
  FValue = CheckValue(value);
}

void TRxSpinEdit::SetDecimals(int32_t decimals) {
  FDecimals = std::clamp(decimals, 0, 15);
}

void TRxSpinEdit::SetMinValue(double v) {
  FMinValue = v;
  FValue = CheckValue(FValue);
}

void TRxSpinEdit::SetMaxValue(double v) {
  FMaxValue = v;
  FValue = CheckValue(FValue);
}

void TRxSpinEdit::SetValueType(TValueType type) {
  FValueType = type;
  FValue = CheckValue(FValue);
}

std::string TRxSpinEdit::Text() const {
  char buffer[400];
  if (FValueType == TValueType::vtFloat) {
    // Not the C runtime's printf: its locale could make the separator a ",", which reads back as 0.
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer - 1, FValue, std::chars_format::fixed, FDecimals);
    *(ec == std::errc{} ? end : buffer) = '\0';
  } else if (FValueType == TValueType::vtHex) {
    std::snprintf(buffer, sizeof buffer, "%llX",
                  static_cast<unsigned long long>(static_cast<long long>(FValue)));
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(FValue));
  }
  return buffer;
}

void TRxSpinEdit::SetText(std::string_view text) {
  const std::string_view trimmed = text::Trim(text);
  double value = 0.0;
  if (FValueType == TValueType::vtHex) {
    long long number = 0;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), number, 16);
    if (ec == std::errc{} && end == trimmed.data() + trimmed.size()) value = static_cast<double>(number);
  } else {
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (ec != std::errc{} || end != trimmed.data() + trimmed.size()) value = 0.0;
  }
  SetValue(value);
}

}  // namespace kvo
