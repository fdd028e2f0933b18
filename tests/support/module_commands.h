// Calling the module's entry points from a test in the same process: the framework's lists passed as the
// exports' opaque list type, and a command with text parameters. Header only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kvo/kvo_plugin.h"
#include "params/list_handle.h"
#include "params/params_list.h"
#include "params/variant.h"

namespace kvo::testing {

inline ::TParamsList* Out(TParamsList* list) {
  return Handle(list);
}
inline TParamsList* In(::TParamsList* list) {
  return Impl(list);
}

// ExecutePluginCommand with "COMMAND" and the given text parameters after it.
inline int32_t SendCommand(int32_t handle, const char* command,
                           const std::vector<std::pair<std::string, std::string>>& texts = {}) {
  TParamsList parameters;
  parameters.Add("COMMAND", Variant::FromText(command));
  for (const auto& [name, text] : texts)
    parameters.Add(name, Variant::FromText(text));
  return ::ExecutePluginCommand(handle, Out(&parameters));
}

}  // namespace kvo::testing
