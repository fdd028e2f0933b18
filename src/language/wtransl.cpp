// The translator component's configuration and entry points.
#include "language/wtransl.h"

namespace kvo {

TWtransl::TWtransl(TComponent* owner) : TComponent(owner) {
  for (const char* name : {"CAPTION", "HINT", "TEXT", "TITLE", "CAPTIONS"})
    ComponentProperties.Add(name);
}

std::string TWtransl::GetDefaultLanguage() const {
  return {};
}

bool TWtransl::Translate(TComponent*, const std::string&, const std::string&) {
  return false;
}

}  // namespace kvo
