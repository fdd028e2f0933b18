// The translation walk: which objects and properties a translation visits, the markers that keep
// components out of it, combo boxes, collections and string lists.
#include <cctype>

#include "forms/controls.h"
#include "language/wtransl.h"
#include "runtime/collection.h"
#include "runtime/properties.h"

namespace kvo {
namespace {

bool IsTextKind(TTypeKind kind) noexcept {
  switch (kind) {
    case tkChar:
    case tkString:
    case tkWChar:
    case tkLString:
    case tkWString:
    case tkUString:
    case tkVariant:
      return true;
    default:
      return false;
  }
}

bool IsTextName(std::string_view name) noexcept {
  if (name.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != "text"[i]) return false;
  }
  return true;
}

// A windowed control whose help context says "leave me out".
bool IsExcludedWindow(const TComponent& component) noexcept {
  const auto* window = dynamic_cast<const TWinControl*>(&component);
  return window && (window->HelpContext() == -1 || window->HelpContext() == kTagNoTranslation);
}

}  // namespace

void TWtransl::TranslateObject(TObject& obj) {
  bool allow = true;
  OnBeforeTranslateComponent(*this, obj, FSourceLngList.get(), FTargetLngList.get(), allow);
  if (!allow) return;
  auto* combo = dynamic_cast<TComboBox*>(&obj);
  const int32_t item_index = combo ? combo->ItemIndex() : -1;
  // A copy: a hook may change the list while it is gone through.
  TStringList names;
  names.Assign(ComponentProperties);
  for (int32_t i = 0; i < names.Count(); ++i) {
    const std::string& name = names.Get(i);
    // A drop-down list's text is always its selected item.
    if (combo && combo->Style() == TComboBoxStyle::csDropDownList && IsTextName(name)) continue;
    try {
      TranslateProperty(obj, name);
    } catch (...) {
      // One property that fails does not keep the others from being translated.
    }
  }
  if (combo && combo->ItemIndex() != item_index) combo->SetItemIndex(item_index);
  OnCustomTranslate(*this, obj, FSourceLngList.get(), FTargetLngList.get());
}

void TWtransl::TranslateOwned(TComponent& owner) {
  for (int32_t i = 0; i < owner.ComponentCount(); ++i) {
    TComponent& component = *owner.Components(i);
    const std::string& name = component.Name();
    if (component.Tag() == kTagNoTranslation || IsExcludedWindow(component) || name.starts_with("__") ||
        (LeaveOut && LeaveOut(component)))
      continue;
    if (component.Tag() != kTagOwnedOnly) TranslateObject(component);
    if (name.starts_with("_")) continue;
    if (component.ComponentCount() > 0) TranslateOwned(component);
    if (dynamic_cast<TComboBox*>(&component)) TranslateProperty(component, "Items");
  }
}

void TWtransl::TranslateProperty(TObject& obj, std::string_view prop_name) {
  const PropInfo* pi = GetPropInfo(obj, prop_name);
  if (!pi) return;
  if (IsTextKind(pi->Kind)) {
    const std::string shown = GetStrProp(obj, *pi);
    // Every translation starts from the base-language text, which has no translation into itself.
    const std::string base = FBaseTexts.BaseText(obj, pi->Name, -1, shown);
    std::string new_text;
    bool found = false;
    LookupTranslation(base, new_text, found);
    bool do_default = true;
    OnPropertyTranslate(*this, obj, pi, base, new_text, found, do_default);
    if (!do_default) return;
    if (new_text != shown) {
      SetStrProp(obj, *pi, new_text);
      FBaseTexts.Remember(obj, pi->Name, -1, base, GetStrProp(obj, *pi));
    } else {
      FBaseTexts.Remember(obj, pi->Name, -1, base, shown);
    }
    return;
  }
  if (pi->Kind != tkClass) return;
  TObject* value = GetObjectProp(obj, *pi);
  if (auto* collection = dynamic_cast<TCollection*>(value)) {
    // The markers belong to components; collection items are always translated.
    for (int32_t i = 0; i < collection->Count(); ++i)
      TranslateObject(collection->Items(i));
  } else if (auto* lines = dynamic_cast<TStrings*>(value)) {
    TranslateLines(obj, *pi, *lines);
  } else {
    OnCustomObjectPropertyTranslate(*this, std::string(prop_name), value, FSourceLngList.get(),
                                    FTargetLngList.get());
  }
}

void TWtransl::TranslateLines(TObject& obj, const PropInfo& pi, TStrings& lines) {
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string shown = lines.Get(i);
    const std::string base = FBaseTexts.BaseText(obj, pi.Name, i, shown);
    std::string new_text;
    bool found = false;
    LookupTranslation(base, new_text, found);
    bool do_default = true;
    OnPropertyTranslate(*this, obj, &pi, base, new_text, found, do_default);
    if (!do_default) continue;
    if (new_text != shown) {
      lines.Put(i, new_text);
      FBaseTexts.Remember(obj, pi.Name, i, base, lines.Get(i));
    } else {
      FBaseTexts.Remember(obj, pi.Name, i, base, shown);
    }
  }
}

}  // namespace kvo
