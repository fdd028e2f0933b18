// The controls of a dialog as a headless model: position, size, alignment, anchors and state of each
// control, every piece of it a published property, so that a drawing layer (or a translator, or a
// settings store) binds to a control by its name and its properties' names alone. Nothing is drawn here.
//
// Geometry: Left/Top are relative to the parent's client area; a windowed control's client area is its
// size less BorderWidth on each side, and for a form also less the window frame that the drawing layer
// reports (none until it does): a form's Width and Height are those of its whole window.
// When a windowed control's size changes it re-lays out its children: aligned children first (alTop and
// alBottom in child order, then alLeft and alRight, then alClient takes what is left), then every
// non-aligned child follows its anchors by the change of the client size.
//
// Thread contract: a control, its parent and its children are used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/component.h"
#include "runtime/enum_info.h"
#include "runtime/event.h"
#include "runtime/set.h"
#include "runtime/string_list.h"

namespace kvo {

class TWinControl;
class TCustomForm;

enum class TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
inline constexpr std::string_view kAlignNames[] = {"alNone", "alTop",   "alBottom",
                                                   "alLeft", "alRight", "alClient"};
inline constexpr TEnumInfo kAlignInfo{"TAlign", kAlignNames};

enum class TAnchorKind : uint8_t { akLeft, akTop, akRight, akBottom };
inline constexpr std::string_view kAnchorKindNames[] = {"akLeft", "akTop", "akRight", "akBottom"};
inline constexpr TEnumInfo kAnchorKindInfo{"TAnchorKind", kAnchorKindNames};
using TAnchors = TSet<TAnchorKind, uint8_t>;

// Modal results, as the dialog's buttons report them.
inline constexpr int32_t mrNone = 0;
inline constexpr int32_t mrOk = 1;
inline constexpr int32_t mrCancel = 2;

class TControl : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TControl(TComponent* owner);
  ~TControl() override;

  int32_t Left() const noexcept { return FLeft; }
  int32_t Top() const noexcept { return FTop; }
  int32_t Width() const noexcept { return FWidth; }
  int32_t Height() const noexcept { return FHeight; }
  void SetLeft(int32_t v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int32_t v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int32_t v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int32_t v) { SetBounds(FLeft, FTop, FWidth, v); }
  // The one path every position and size change takes; a size change re-lays out the children and
  // then raises OnResize.
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);

  TAlign Align() const noexcept { return FAlign; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const noexcept { return FAnchors; }
  void SetAnchors(TAnchors anchors) noexcept { FAnchors = anchors; }

  bool Visible() const noexcept { return FVisible; }
  void SetVisible(bool visible) noexcept { FVisible = visible; }
  bool Enabled() const noexcept { return FEnabled; }
  void SetEnabled(bool enabled) noexcept { FEnabled = enabled; }
  const std::string& Hint() const noexcept { return FHint; }
  void SetHint(std::string_view hint) { FHint.assign(hint); }
  // Published by windowed controls and labels; kept here so that every control can carry one.
  int32_t HelpContext() const noexcept { return FHelpContext; }
  void SetHelpContext(int32_t context) noexcept { FHelpContext = context; }

  TWinControl* Parent() const noexcept { return FParent; }
  // Moves the control to `parent`'s children (none: no parent).
  void SetParent(TWinControl* parent);
  // The form the control stands on (itself for a form), or null.
  TCustomForm* ParentForm() const noexcept;

  // Raised after the size changed (published by panels and forms).
  TNotifyEvent OnResize;

 protected:
  // Forms apply their size constraints here.
  virtual void ConstrainSize(int32_t& /*width*/, int32_t& /*height*/) const {}
  // The size changed by the given amounts: windowed controls re-lay out their children.
  virtual void SizeChanged(int32_t /*width_change*/, int32_t /*height_change*/) {}
  virtual void Resize() { OnResize(*this); }

 private:
  friend class TWinControl;
  static const PropInfo kPublished[];

  int32_t FLeft = 0;
  int32_t FTop = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  TAlign FAlign = TAlign::alNone;
  TAnchors FAnchors{TAnchorKind::akLeft, TAnchorKind::akTop};
  bool FVisible = true;
  bool FEnabled = true;
  std::string FHint;
  int32_t FHelpContext = 0;
  TWinControl* FParent = nullptr;
};

class TWinControl : public TControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  int32_t ControlCount() const noexcept { return static_cast<int32_t>(FControls.size()); }
  TControl* Controls(int32_t index) const { return FControls.at(static_cast<size_t>(index)); }

  int32_t BorderWidth() const noexcept { return FBorderWidth; }
  void SetBorderWidth(int32_t width);
  int32_t ClientWidth() const noexcept { return ClientOf(Width()) - FrameWidth(); }
  int32_t ClientHeight() const noexcept { return ClientOf(Height()) - FrameHeight(); }

  // Position among the parent's windowed children in tab order; setting it moves the control there
  // (clamped to the list) and renumbers its siblings, as the classic control does.
  int32_t TabOrder() const noexcept;
  void SetTabOrder(int32_t order);
  bool TabStop() const noexcept { return FTabStop; }
  void SetTabStop(bool stop) noexcept { FTabStop = stop; }

  // Places the aligned children and moves the anchored ones by the client size change given.
  void AlignControls(int32_t client_width_change, int32_t client_height_change);

 protected:
  void SizeChanged(int32_t width_change, int32_t height_change) override {
    AlignControls(width_change, height_change);
  }
  // The part of the size a window frame takes (forms only).
  virtual int32_t FrameWidth() const noexcept { return 0; }
  virtual int32_t FrameHeight() const noexcept { return 0; }

 private:
  friend class TControl;
  static const PropInfo kPublished[];

  int32_t ClientOf(int32_t size) const noexcept { return size - 2 * FBorderWidth; }

  std::vector<TControl*> FControls;    // children, insertion order
  std::vector<TWinControl*> FTabList;  // windowed children, tab order
  int32_t FBorderWidth = 0;
  bool FTabStop = false;
};

enum class TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
inline constexpr std::string_view kTextLayoutNames[] = {"tlTop", "tlCenter", "tlBottom"};
inline constexpr TEnumInfo kTextLayoutInfo{"TTextLayout", kTextLayoutNames};

class TLabel : public TControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TLabel(TComponent* owner) : TControl(owner) {}

  std::string Caption;
  bool WordWrap = false;
  TTextLayout Layout = TTextLayout::tlTop;

 private:
  static const PropInfo kPublished[];
};

enum class TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
inline constexpr std::string_view kBevelCutNames[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
inline constexpr TEnumInfo kBevelCutInfo{"TBevelCut", kBevelCutNames};

class TPanel : public TWinControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TPanel(TComponent* owner) : TWinControl(owner) {}

  std::string Caption;
  TBevelCut BevelOuter = TBevelCut::bvRaised;

 private:
  static const PropInfo kPublished[];
};

class TGroupBox : public TWinControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TGroupBox(TComponent* owner) : TWinControl(owner) {}

  std::string Caption;

 private:
  static const PropInfo kPublished[];
};

class TButton : public TWinControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TButton(TComponent* owner);

  std::string Caption;
  int32_t ModalResult = mrNone;
  bool Default = false;
  bool Cancel = false;
  TNotifyEvent OnClick;

  // A non-zero ModalResult becomes the parent form's (which ends a modal dialog), then OnClick runs.
  void Click();

 private:
  static const PropInfo kPublished[];
};

enum class TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList };
inline constexpr std::string_view kComboBoxStyleNames[] = {"csDropDown", "csSimple", "csDropDownList"};
inline constexpr TEnumInfo kComboBoxStyleInfo{"TComboBoxStyle", kComboBoxStyleNames};

// Selection rules: ItemIndex is -1 for no selection; setting an index outside the items selects nothing
// (-1), as the native list does when asked for a missing entry. Selecting an item sets Text to it. A
// drop-down list's Text is always the selected item's ("" without one) and setting it selects the item
// of that text (ignoring case) or nothing; an editable combo's Text is free and setting it clears the
// selection. When the items shrink under a selection, ItemIndex reads -1.
class TComboBox : public TWinControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TComboBox(TComponent* owner);

  TComboBoxStyle Style() const noexcept { return FStyle; }
  void SetStyle(TComboBoxStyle style);
  TStringList& Items() noexcept { return FItems; }
  const TStringList& Items() const noexcept { return FItems; }
  void SetItems(const TStringList& items);
  int32_t ItemIndex() const noexcept;
  void SetItemIndex(int32_t index);
  std::string Text() const;
  void SetText(std::string_view text);

 private:
  static const PropInfo kPublished[];

  TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
  TStringList FItems;
  int32_t FItemIndex = -1;
  std::string FText;  // an editable combo's own text
};

enum class TValueType : uint8_t { vtInteger, vtFloat, vtHex };
inline constexpr std::string_view kValueTypeNames[] = {"vtInteger", "vtFloat", "vtHex"};
inline constexpr TEnumInfo kValueTypeInfo{"TValueType", kValueTypeNames};

// A numeric field with up and down buttons. MinValue and MaxValue both 0 mean no limits; otherwise a
// value is clamped into them. Integer values are rounded. Text shows the value with Decimals places
// (vtFloat) and, written, reads a number with "." as separator; text that is no number gives 0.
class TRxSpinEdit : public TWinControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TRxSpinEdit(TComponent* owner);

  double Value() const noexcept { return FValue; }
  void SetValue(double value);
  int32_t Decimals() const noexcept { return FDecimals; }
  void SetDecimals(int32_t decimals);
  double Increment = 1.0;
  double MinValue() const noexcept { return FMinValue; }
  void SetMinValue(double v);
  double MaxValue() const noexcept { return FMaxValue; }
  void SetMaxValue(double v);
  TValueType ValueType() const noexcept { return FValueType; }
  void SetValueType(TValueType type);
  std::string Text() const;
  void SetText(std::string_view text);

  // The buttons and arrow keys: one Increment up or down.
  void StepUp() { SetValue(FValue + Increment); }
  void StepDown() { SetValue(FValue - Increment); }

 private:
  static const PropInfo kPublished[];
  double CheckValue(double value) const noexcept;

  double FValue = 0.0;
  int32_t FDecimals = 2;
  double FMinValue = 0.0;
  double FMaxValue = 0.0;
  TValueType FValueType = TValueType::vtInteger;
};

enum class TBevelShape : uint8_t {
  bsBox,
  bsFrame,
  bsTopLine,
  bsBottomLine,
  bsLeftLine,
  bsRightLine,
  bsSpacer
};
inline constexpr std::string_view kBevelShapeNames[] = {
    "bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"};
inline constexpr TEnumInfo kBevelShapeInfo{"TBevelShape", kBevelShapeNames};
enum class TBevelStyle : uint8_t { bsLowered, bsRaised };
inline constexpr std::string_view kBevelStyleNames[] = {"bsLowered", "bsRaised"};
inline constexpr TEnumInfo kBevelStyleInfo{"TBevelStyle", kBevelStyleNames};

class TBevel : public TControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TBevel(TComponent* owner) : TControl(owner) {}

  TBevelShape Shape = TBevelShape::bsBox;
  TBevelStyle Style = TBevelStyle::bsLowered;

 private:
  static const PropInfo kPublished[];
};

}  // namespace kvo
