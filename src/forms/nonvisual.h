// The non-visual components a dialog carries: a holder of text lines (a form's property map) and the
// help-file component whose published settings tell where the dialog's help lives.
//
// Thread contract: a component is used by one thread at a time.
#pragma once

#include <string>
#include <string_view>

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

// Where a form's compiled help lives. Setting DefaultFile to true empties ChmFile (the application's
// help file is then taken when help is shown).
class THtmlHelp : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit THtmlHelp(TComponent* owner) : TComponent(owner) {}

  const std::string& ChmFile() const noexcept { return FChmFile; }
  void SetChmFile(std::string_view file) { FChmFile.assign(file); }
  const std::string& WinDef() const noexcept { return FWinDef; }
  void SetWinDef(std::string_view window) { FWinDef.assign(window); }
  bool DefaultFile() const noexcept { return FDefaultFile; }
  void SetDefaultFile(bool use_default);

 private:
  static const PropInfo kPublished[];
  std::string FChmFile;
  std::string FWinDef;
  bool FDefaultFile = true;
};

}  // namespace kvo
