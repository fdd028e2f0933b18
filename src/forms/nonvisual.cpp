// Published tables of the non-visual components.
#include "forms/nonvisual.h"

#include "runtime/publish.h"

namespace kvo {

namespace {
const TStringList& StringsOf(const TStrHolder& h) {
  return h.Strings();
}
}  // namespace

constinit const PropInfo TStrHolder::kPublished[] = {
    Publish<TStrHolder>::Object<&StringsOf, &TStrHolder::SetStrings>("Strings"),
    Publish<TStrHolder>::Object<&StringsOf, &TStrHolder::SetStrings>("Lines"),
};
constinit const TClassInfo TStrHolder::StaticClass{"TStrHolder", &TComponent::StaticClass,
                                                   TStrHolder::kPublished};

constinit const PropInfo THtmlHelp::kPublished[] = {
    Publish<THtmlHelp>::String<&THtmlHelp::ChmFile, &THtmlHelp::SetChmFile>("ChmFile"),
    Publish<THtmlHelp>::String<&THtmlHelp::WinDef, &THtmlHelp::SetWinDef>("WinDef"),
    Publish<THtmlHelp>::Boolean<&THtmlHelp::DefaultFile, &THtmlHelp::SetDefaultFile>("DefaultFile"),
};
constinit const TClassInfo THtmlHelp::StaticClass{"THtmlHelp", &TComponent::StaticClass,
                                                  THtmlHelp::kPublished};

void THtmlHelp::SetDefaultFile(bool use_default) {
  FDefaultFile = use_default;
  if (use_default) FChmFile.clear();
}

}  // namespace kvo
