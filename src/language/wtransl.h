// TWtransl: the translator component that replaces the texts of forms and modules with those of a
// language file lying beside the module.
//
// This unit holds what the plug-in framework configures at construction (language file, base language,
// the property names to translate) and the entry points it calls. Reading the language file and
// translating arrive with the language subsystem; until then GetDefaultLanguage yields "" (so the base
// language stays in force) and Translate changes nothing and reports false.
//
// Thread contract: used by one thread at a time (the instance's command and construction paths).
#pragma once

#include <string>

#include "runtime/component.h"
#include "runtime/string_list.h"

namespace kvo {

class TWtransl : public TComponent {
 public:
  explicit TWtransl(TComponent* owner);

  // Names of the properties translated on every visited object.
  TStringList ComponentProperties;
  // Path of the language file; empty means no file.
  std::string LanguageFile = "app.lng";
  std::string FBaseLanguage;

  // The "Default" language named in the language file, or "" when it names none.
  std::string GetDefaultLanguage() const;
  // Translates `component` and what it owns from `base_language` into `language`. True when a
  // translation took place.
  bool Translate(TComponent* component, const std::string& language, const std::string& base_language);
};

}  // namespace kvo
