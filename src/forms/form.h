// Forms as headless models: a top-level windowed control with a caption, size constraints, the state
// a modal dialog reports (ModalResult) and the events a dialog's code handles (creation, close, key
// release, resize). A drawing layer shows the model and feeds user actions back through Close, KeyUp,
// SetBounds and the buttons' Click.
//
// Creation: a descendant's constructor sets the property values, creates the child components with the
// form as owner and assigns the events; made with Create<T>(...), AfterConstruction then calls Loaded()
// on the form and its components and raises OnCreate, which so sees the most derived class's values.
//
// The desktop size (for centring a form that is not shown) is process-wide and injectable, 1024 x 768
// until set; a drawing layer centres a form whose Position is poScreenCenter on the real screen.
//
// Thread contract: a form and its controls are used by one thread at a time; the desktop size may be
// read and set from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "forms/controls.h"
#include "runtime/event.h"
#include "runtime/persistent.h"

namespace kvo {

// A limit of 0 means none.
class TSizeConstraints : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  int32_t MinWidth = 0;
  int32_t MinHeight = 0;
  int32_t MaxWidth = 0;
  int32_t MaxHeight = 0;

  void Apply(int32_t& width, int32_t& height) const noexcept;
  void Assign(const TPersistent& source) override;

 private:
  static const PropInfo kPublished[];
};

// The typeface a form's texts are drawn with: a family name and the character height in pixels.
class TFont : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  std::string Name;
  int32_t Height = 0;  // 0: the drawing layer's default

  void Assign(const TPersistent& source) override;

 private:
  static const PropInfo kPublished[];
};

enum class TBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
inline constexpr std::string_view kBorderIconNames[] = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
inline constexpr TEnumInfo kBorderIconInfo{"TBorderIcon", kBorderIconNames};
using TBorderIcons = TSet<TBorderIcon, uint8_t>;

enum class TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };

// Where a drawing layer puts the form when it shows it: at Left/Top, or centred on the screen.
enum class TPosition : uint8_t { poDesigned, poScreenCenter };
inline constexpr std::string_view kPositionNames[] = {"poDesigned", "poScreenCenter"};
inline constexpr TEnumInfo kPositionInfo{"TPosition", kPositionNames};

enum class TShiftKind : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftKind, uint8_t>;

// The key code of Escape.
inline constexpr uint16_t kKeyEscape = 27;

using TCloseEvent = Event<void(TObject& sender, TCloseAction& action)>;
using TKeyEvent = Event<void(TObject& sender, uint16_t& key, TShiftState shift)>;

class TCustomForm : public TWinControl {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void AfterConstruction() override;

  std::string Caption;
  std::string HelpFile;
  TBorderIcons BorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
  bool KeyPreview = false;
  int32_t ModalResult = mrNone;
  TPosition Position = TPosition::poDesigned;

  // The window frame's share of Width and Height (borders and title bar), as the drawing layer that shows
  // the form reports it; 0 x 0 until then. Changing it keeps the size and re-lays out the client area.
  void SetFrameSize(int32_t width, int32_t height);

  TSizeConstraints& Constraints() noexcept { return FConstraints; }
  const TSizeConstraints& Constraints() const noexcept { return FConstraints; }
  void SetConstraints(const TSizeConstraints& constraints);

  TFont& Font() noexcept { return FFont; }
  const TFont& Font() const noexcept { return FFont; }
  void SetFont(const TFont& font) { FFont.Assign(font); }

  TWinControl* ActiveControl() const noexcept { return FActiveControl; }
  void SetActiveControl(TWinControl* control) noexcept { FActiveControl = control; }

  TNotifyEvent OnCreate;
  TCloseEvent OnClose;
  TKeyEvent OnKeyUp;

  // Closing the window: a form without a modal result reports Cancel, then OnClose decides the
  // action (caHide unless the handler changes it), which is returned.
  TCloseAction Close();
  // A key released while the form is active: with KeyPreview the form's OnKeyUp sees it first.
  void KeyUp(uint16_t& key, TShiftState shift);

  // Puts the form in the middle of the desktop, keeping its size.
  void CentreOnDesktop();
  static void SetDesktopSize(int32_t width, int32_t height) noexcept;
  static int32_t DesktopWidth() noexcept;
  static int32_t DesktopHeight() noexcept;

 protected:
  void ConstrainSize(int32_t& width, int32_t& height) const override { FConstraints.Apply(width, height); }
  int32_t FrameWidth() const noexcept override { return FFrameWidth; }
  int32_t FrameHeight() const noexcept override { return FFrameHeight; }

 private:
  static const PropInfo kPublished[];
  const TSizeConstraints& ConstraintsRef() const noexcept { return FConstraints; }
  const TFont& FontRef() const noexcept { return FFont; }

  TSizeConstraints FConstraints;
  TFont FFont;
  TWinControl* FActiveControl = nullptr;
  int32_t FFrameWidth = 0;
  int32_t FFrameHeight = 0;
  bool FCreated = false;
};

class TForm : public TCustomForm {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

}  // namespace kvo
