// The deadband module's instance of a host handle, for tests that link the module's code: made on first
// use as the exports make it. Header only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "deadband/deadband_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"

namespace kvo::testing {

// The instance of `handle`; null, with a test failure, when there is none or it is not the module's class.
inline TaPlugin* DeadbandInstance(int32_t handle) {
  TkvoPlugin* instance = nullptr;
  TParamsList parameters;
  if (!GetPluginInstance(handle, &parameters, &instance) || instance == nullptr) {
    ADD_FAILURE() << "no instance for handle " << handle;
    return nullptr;
  }
  if (!instance->InheritsFrom(TaPlugin::StaticClass)) {
    ADD_FAILURE() << "the instance of handle " << handle << " is a " << instance->ClassName();
    return nullptr;
  }
  return static_cast<TaPlugin*>(instance);
}

}  // namespace kvo::testing
