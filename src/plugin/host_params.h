// Reading the host's parameters: names are found without regard to case; a parameter that is absent,
// empty or Null counts as missing.
#pragma once

#include <string>
#include <string_view>

#include "params/params_list.h"

namespace kvo {

// The parameter's value, or null when the list is null or the parameter is missing.
inline const Variant* FindParam(const TParamsList* parameters, std::string_view name) {
  if (!parameters) return nullptr;
  const TParamsListElement* element = parameters->FindByName(name);
  if (!element || IsMissing(element->Value())) return nullptr;
  return &element->Value();
}

// The parameter as text (a private copy), or empty when missing.
inline std::string ParamText(const TParamsList* parameters, std::string_view name) {
  const Variant* value = FindParam(parameters, name);
  return value ? value->ToText() : std::string();
}

}  // namespace kvo
