// Forms: constraints, creation, closing, key preview and the desktop the forms are centred on.
#include "forms/form.h"

#include <algorithm>
#include <atomic>

#include "runtime/publish.h"
#include "runtime/runtime_errors.h"

namespace kvo {
namespace {

std::atomic<int32_t> g_desktop_width{1024};
std::atomic<int32_t> g_desktop_height{768};

}  // namespace

// --- TSizeConstraints ---

constinit const PropInfo TSizeConstraints::kPublished[] = {
    Publish<TSizeConstraints>::Integer<&TSizeConstraints::MinWidth, &TSizeConstraints::MinWidth>("MinWidth"),
    Publish<TSizeConstraints>::Integer<&TSizeConstraints::MinHeight, &TSizeConstraints::MinHeight>(
        "MinHeight"),
    Publish<TSizeConstraints>::Integer<&TSizeConstraints::MaxWidth, &TSizeConstraints::MaxWidth>("MaxWidth"),
    Publish<TSizeConstraints>::Integer<&TSizeConstraints::MaxHeight, &TSizeConstraints::MaxHeight>(
        "MaxHeight"),
};
constinit const TClassInfo TSizeConstraints::StaticClass{"TSizeConstraints", &TPersistent::StaticClass,
                                                         TSizeConstraints::kPublished};

void TSizeConstraints::Apply(int32_t& width, int32_t& height) const noexcept {
  // The maximum first, so that a minimum above it wins, as the classic control has it.
  if (MaxWidth > 0) width = std::min(width, MaxWidth);
  if (MaxHeight > 0) height = std::min(height, MaxHeight);
  if (MinWidth > 0) width = std::max(width, MinWidth);
  if (MinHeight > 0) height = std::max(height, MinHeight);
}

void TSizeConstraints::Assign(const TPersistent& source) {
  if (const auto* other = dynamic_cast<const TSizeConstraints*>(&source)) {
    MinWidth = other->MinWidth;
    MinHeight = other->MinHeight;
    MaxWidth = other->MaxWidth;
    MaxHeight = other->MaxHeight;
    return;
  }
  TPersistent::Assign(source);
}

// --- TFont ---

constinit const PropInfo TFont::kPublished[] = {
    Publish<TFont>::String<&TFont::Name, &TFont::Name>("Name"),
    Publish<TFont>::Integer<&TFont::Height, &TFont::Height>("Height"),
};
constinit const TClassInfo TFont::StaticClass{"TFont", &TPersistent::StaticClass, TFont::kPublished};

void TFont::Assign(const TPersistent& source) {
  if (const auto* other = dynamic_cast<const TFont*>(&source)) {
    Name = other->Name;
    Height = other->Height;
    return;
  }
  TPersistent::Assign(source);
}

// --- TCustomForm ---

constinit const PropInfo TCustomForm::kPublished[] = {
    Publish<TCustomForm>::String<&TCustomForm::Caption, &TCustomForm::Caption>("Caption"),
    Publish<TCustomForm>::String<&TCustomForm::HelpFile, &TCustomForm::HelpFile>("HelpFile"),
    Publish<TCustomForm>::Set<&TCustomForm::BorderIcons, &TCustomForm::BorderIcons>("BorderIcons",
                                                                                    kBorderIconInfo),
    Publish<TCustomForm>::Boolean<&TCustomForm::KeyPreview, &TCustomForm::KeyPreview>("KeyPreview"),
    Publish<TCustomForm>::Integer<&TCustomForm::ModalResult, &TCustomForm::ModalResult>("ModalResult"),
    Publish<TCustomForm>::Enumeration<&TCustomForm::Position, &TCustomForm::Position>("Position",
                                                                                      kPositionInfo),
    Publish<TCustomForm>::Object<&TCustomForm::ConstraintsRef, &TCustomForm::SetConstraints>("Constraints"),
    Publish<TCustomForm>::Object<&TCustomForm::FontRef, &TCustomForm::SetFont>("Font"),
    Publish<TCustomForm>::Object<&TCustomForm::ActiveControl, &TCustomForm::SetActiveControl>(
        "ActiveControl"),
    Publish<TCustomForm>::Method<&TCustomForm::OnCreate>("OnCreate"),
    Publish<TCustomForm>::Method<&TCustomForm::OnClose>("OnClose"),
    Publish<TCustomForm>::Method<&TCustomForm::OnKeyUp>("OnKeyUp"),
    Publish<TCustomForm>::Method<&TCustomForm::OnResize>("OnResize"),
};
constinit const TClassInfo TCustomForm::StaticClass{"TCustomForm", &TWinControl::StaticClass,
                                                    TCustomForm::kPublished};
constinit const TClassInfo TForm::StaticClass{"TForm", &TCustomForm::StaticClass};

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetLoading(true);
}

TCustomForm::~TCustomForm() {
  // The controls refer to each other and to this form; they go while the form is still whole.
  FActiveControl = nullptr;
  DestroyComponents();
}

void TCustomForm::AfterConstruction() {
  TWinControl::AfterConstruction();
  Loaded();
  for (int32_t i = 0; i < ComponentCount(); ++i)
    Components(i)->Loaded();
  if (FCreated) return;
  FCreated = true;
  OnCreate(*this);
}

void TCustomForm::SetConstraints(const TSizeConstraints& constraints) {
  FConstraints.Assign(constraints);
  SetBounds(Left(), Top(), Width(), Height());
}

void TCustomForm::SetFrameSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const int32_t width_change = FFrameWidth - width;
  const int32_t height_change = FFrameHeight - height;
  FFrameWidth = width;
  FFrameHeight = height;
  if (width_change != 0 || height_change != 0) AlignControls(width_change, height_change);
}

TCloseAction TCustomForm::Close() {
  if (ModalResult == mrNone) ModalResult = mrCancel;
  TCloseAction action = TCloseAction::caHide;
  OnClose(*this, action);
  if (action == TCloseAction::caHide) SetVisible(false);
  return action;
}

void TCustomForm::KeyUp(uint16_t& key, TShiftState shift) {
  if (KeyPreview) OnKeyUp(*this, key, shift);
}

void TCustomForm::CentreOnDesktop() {
  SetBounds((DesktopWidth() - Width()) / 2, (DesktopHeight() - Height()) / 2, Width(), Height());
}

void TCustomForm::SetDesktopSize(int32_t width, int32_t height) noexcept {
  g_desktop_width.store(width, std::memory_order_relaxed);
  g_desktop_height.store(height, std::memory_order_relaxed);
}

int32_t TCustomForm::DesktopWidth() noexcept {
  return g_desktop_width.load(std::memory_order_relaxed);
}

int32_t TCustomForm::DesktopHeight() noexcept {
  return g_desktop_height.load(std::memory_order_relaxed);
}

}  // namespace kvo
