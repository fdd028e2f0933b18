// The non-visual components a dialog carries: a holder of text lines (a form's property map) and the
// help-file component whose published settings tell where the dialog's help lives.
//
// Thread contract: a component is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/help.h"
#include "runtime/component.h"
#include "runtime/string_list.h"

namespace kvo {

// Lines kept with a form, published as "Strings" (and "Lines", the same list).
class TStrHolder : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TStrHolder(TComponent* owner) : TComponent(owner) {}

  TStringList& Strings() noexcept { return FStrings; }
  const TStringList& Strings() const noexcept { return FStrings; }
  void SetStrings(const TStringList& strings) { FStrings.Assign(strings); }

 private:
  static const PropInfo kPublished[];
  TStringList FStrings;
};

// A form's compiled help: while it exists it answers the application's help requests by showing
// topics of ChmFile in the help viewer. Setting DefaultFile to true empties ChmFile; after the form has
// loaded, DefaultFile takes the application's help file (with the program's folder in front of a bare
// name). Destroying it puts back the application help handler it found at creation.
//
// Requests arrive from the application object, possibly after this component is gone (a copy of its
// handler may have been kept by a later one); a handler whose component is gone passes requests on to
// the handler it replaced. The owner window source is process-wide, settable from any thread.
class THtmlHelp : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit THtmlHelp(TComponent* owner);
  ~THtmlHelp() override;
  void Loaded() override;

  const std::string& ChmFile() const noexcept { return FChmFile; }
  void SetChmFile(std::string_view file) { FChmFile.assign(file); }
  const std::string& WinDef() const noexcept { return FWinDef; }
  void SetWinDef(std::string_view window) { FWinDef.assign(window); }
  bool DefaultFile() const noexcept { return FDefaultFile; }
  void SetDefaultFile(bool use_default);

  // The viewer that shows the help; the system's unless another is put in place (tests).
  platform::HelpViewer& Viewer() const noexcept { return *FViewer; }
  void SetViewer(platform::HelpViewer& viewer) noexcept { FViewer = &viewer; }

  // What a request for `topic` (empty: none) opens: ChmFile, the topic, the window definition.
  platform::HelpTarget HelpTarget(std::string_view topic = {}) const;
  // Its path text: ChmFile, "::" and the topic, ">" and WinDef.
  std::string HelpPath(std::string_view topic = {}) const;

  // Shows the topic with context number `context`; the viewer's window, 0 without a viewer or on
  // failure.
  platform::HelpWindow ShowContext(int32_t context);
  // The application help handler: command 1 (context) and 8 (context pop-up) show `data`; 11 shows
  // the table of contents and answers false without a viewer; other commands show nothing. Always
  // clears `call_help`.
  bool HelpHandler(uint16_t command, int32_t data, bool& call_help);

  // The window that owns the help window: the view layer names its active window here (an HWND on
  // Windows); the source runs on the thread that asks for help. Without a source the owner is 0.
  using OwnerWindowSource = std::function<platform::HelpWindow()>;
  static void SetOwnerWindowSource(OwnerWindowSource source);
  static platform::HelpWindow OwnerWindow();

  // Shared between the component and the handler it installs (defined with the handler).
  struct Link;

 private:
  static const PropInfo kPublished[];
  std::string FChmFile;
  std::string FWinDef;
  bool FDefaultFile = true;
  platform::HelpViewer* FViewer;
  std::shared_ptr<Link> FLink;
};

}  // namespace kvo
