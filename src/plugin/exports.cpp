// The twelve exported functions: the module's whole interface to the host. No exception leaves them:
// each runs through AtBoundary with its failure value.
#include "kvo/kvo_plugin.h"

#include <cstring>
#include <string>

#include "params/boundary.h"
#include "platform/ui.h"
#include "plugin/block_call.h"
#include "plugin/host_params.h"
#include "plugin/plugin_component.h"
#include "plugin/plugin_registry.h"

#if defined(_WIN32)
#define KVO_MODULE_EXPORT  // the .def file names the exports
#else
#define KVO_MODULE_EXPORT __attribute__((visibility("default")))
#endif

namespace kvo {
namespace {

kvo::TParamsList* Impl(::TParamsList* list) {
  return reinterpret_cast<kvo::TParamsList*>(list);
}

// A list that is not null but not live either: destroyed, foreign or garbage. Refused before anything
// else of it is read (not even its count) and before it can reach a new instance's construction. Handle 0
// is refused as a bad call first.
bool NotLive(int32_t handle, ::TParamsList* list) noexcept {
  return handle != 0 && list && Impl(list)->Signature() != kParamsListSignature;
}

TkvoPlugin* Instance(int32_t handle, ::TParamsList* parameters = nullptr) noexcept {
  if (TkvoPlugin* cached = CachedPluginInstance(handle)) return cached;
  return AtBoundary(nullptr, [&] {
    TkvoPlugin* instance = nullptr;
    GetPluginInstance(handle, Impl(parameters), &instance);
    return instance;
  });
}

// The failure value of GetAppMinVersion.
constexpr float kNoMinVersion = -1.0f;

// The guard every data export runs before it enters the instance.
// `rows` is the host's Rows variable (null for GetEvents).
template <typename Core>
int32_t DataGuard(int32_t handle, ::TParamsList* parameters, TParamsList** rows, Core core) noexcept {
  if (!parameters) return -1;
  if (NotLive(handle, parameters)) {
    // A host that ignores the code must not find a stale pointer from an earlier call there.
    if (rows) *rows = nullptr;
    return -3;
  }
  TkvoPlugin* instance = Instance(handle, parameters);
  if (!instance) return -1;
  // Held until the call returns, so the last "UNLOAD" keeps the row lists until this call has left.
  const InstanceGate::Pass pass(instance->DataGate());
  if (!pass.entered()) return -1;
  if (rows) *rows = nullptr;
  try {
    return core(*instance);
  } catch (...) {
    return -3;
  }
}

// Copies `text` out by the buffer protocol: *needed gets its length; copied only when it fits whole.
int32_t CopyOut(const std::string& text, char* buffer, int32_t buffer_size, int32_t* needed) {
  const size_t n = text.size();
  *needed = n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(n);
  if (n == 0 || buffer_size < 0 || n > static_cast<size_t>(buffer_size) || !buffer) return 0;
  std::memcpy(buffer, text.data(), n);
  return static_cast<int32_t>(n);
}

}  // namespace
}  // namespace kvo

using kvo::TkvoPlugin;

extern "C" {

KVO_MODULE_EXPORT float KVO_CALL GetPluginInterfaceVersion(int32_t) {
  return 3.0f;
}

KVO_MODULE_EXPORT float KVO_CALL GetAppMinVersion(int32_t Handle) {
  return kvo::AtBoundary(kvo::kNoMinVersion, [&] {
    TkvoPlugin* instance = kvo::Instance(Handle);
    return instance ? instance->MinVersion : kvo::kNoMinVersion;
  });
}

KVO_MODULE_EXPORT const char* KVO_CALL GetModuleDescription(int32_t Handle) {
  return kvo::AtBoundary(nullptr, [&]() -> const char* {
    TkvoPlugin* instance = kvo::Instance(Handle);
    return instance ? instance->Description.c_str() : nullptr;
  });
}

KVO_MODULE_EXPORT int32_t KVO_CALL GetModuleType(int32_t Handle) {
  return kvo::AtBoundary(0, [&]() -> int32_t {
    TkvoPlugin* instance = kvo::Instance(Handle);
    return instance ? instance->ModuleType.Mask() : 0;
  });
}

KVO_MODULE_EXPORT uint8_t KVO_CALL MultiThreadSupport(int32_t Handle) {
  return kvo::AtBoundary(0, [&]() -> uint8_t {
    TkvoPlugin* instance = kvo::Instance(Handle);
    return instance && instance->IsMultiThreadSupported ? 1 : 0;
  });
}

KVO_MODULE_EXPORT int32_t KVO_CALL GetLogEx(int32_t Handle, char* Buffer, int32_t BufferSize,
                                            int32_t* Needed) {
  if (!Needed) return 0;
  *Needed = 0;
  return kvo::AtBoundary(0, [&] {
    TkvoPlugin* instance = kvo::Instance(Handle);
    return instance ? instance->Log().Fetch(Buffer, BufferSize, Needed) : 0;
  });
}

KVO_MODULE_EXPORT int32_t KVO_CALL GetCustomCommands(int32_t Handle, char* Buffer, int32_t BufferSize,
                                                     int32_t* Needed) {
  if (!Needed) return 0;
  *Needed = 0;
  return kvo::AtBoundary(0, [&] {
    TkvoPlugin* instance = kvo::Instance(Handle);
    if (!instance) return 0;
    if (!instance->ModuleType.Contains(kvo::mttMenuExt)) {
      instance->ClearLog();
      return 0;
    }
    const int32_t copied = kvo::CopyOut(instance->CustomCommands().Text(), Buffer, BufferSize, Needed);
    if (copied > 0) instance->ClearLog();
    return copied;
  });
}

KVO_MODULE_EXPORT void KVO_CALL ShowOptionsDialog(int32_t Handle, TParamsList* Parameters) {
  if (kvo::NotLive(Handle, Parameters)) return;
  kvo::AtBoundary([&] {
    TkvoPlugin* instance = kvo::Instance(Handle, Parameters);
    // Accepted settings reach the other places of the host configuration that share their storage.
    if (instance && instance->ShowOptionsDialog(kvo::Impl(Parameters))) kvo::ReloadSettingsOfPeers(*instance);
  });
}

KVO_MODULE_EXPORT int32_t KVO_CALL ExecutePluginCommand(int32_t Handle, TParamsList* Parameters) {
  if (!Parameters) return KVO_RESULT_REFUSED;
  if (kvo::NotLive(Handle, Parameters)) return KVO_RESULT_EXCEPTION;
  TkvoPlugin* instance = kvo::Instance(Handle, Parameters);
  if (!instance) return KVO_RESULT_REFUSED;
  return kvo::AtBoundary(KVO_RESULT_EXCEPTION, [&]() -> int32_t {
    const kvo::Variant* command = kvo::FindParam(kvo::Impl(Parameters), "COMMAND");
    if (!command) return KVO_RESULT_REFUSED;
    return instance->ExecuteCommand(command->ToText(), kvo::Impl(Parameters));
  });
}

KVO_MODULE_EXPORT int32_t KVO_CALL GetData(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters,
                                           void** Data, TParamsList** Rows) {
  if (!Data || !Rows) return -1;
  auto** rows = reinterpret_cast<kvo::TParamsList**>(Rows);
  return kvo::DataGuard(Handle, Parameters, rows, [&](TkvoPlugin& instance) {
    return instance.DoGetData(DataSourceID, kvo::Impl(Parameters), Data, rows);
  });
}

KVO_MODULE_EXPORT int32_t KVO_CALL GetEvents(int32_t Handle, uint32_t, TParamsList* Parameters,
                                             TParamsList** Events) {
  if (!Events) return KVO_RESULT_REFUSED;
  auto** events = reinterpret_cast<kvo::TParamsList**>(Events);
  return kvo::DataGuard(Handle, Parameters, nullptr,
                        [&](TkvoPlugin& instance) { return instance.DoGetEvents(events); });
}

KVO_MODULE_EXPORT int32_t KVO_CALL ProcessData(int32_t Handle, uint32_t DataSourceID, TParamsList* Parameters,
                                               void** Data, TParamsList** Rows) {
  if (!Data || !Rows) return -1;
  auto** rows = reinterpret_cast<kvo::TParamsList**>(Rows);
  return kvo::DataGuard(Handle, Parameters, rows, [&](TkvoPlugin& instance) {
    // The guard has found the parameters live and emptied *rows.
    int32_t result;
    if (instance.TryBlockCall(kvo::Impl(Parameters), Data, rows, &result)) return result;
    return instance.DoProcessData(DataSourceID, kvo::Impl(Parameters), Data, rows);
  });
}

}  // extern "C"
