// The host's parameters of one instance, each read and written under the context's lock.
#include "plugin/host_context.h"

#include <mutex>

#include "platform/host_module.h"
#include "plugin/host_params.h"
#include "runtime/application.h"

namespace kvo {

HostContext::Saved HostContext::Save() const {
  std::lock_guard guard(lock_);
  return {FModuleIndex,      FRegistryPath, FINISectionPrefix, FApplicationName, FHostModule,
          FHostModuleHandle, FSendData,     FSendString,       FSendByte};
}

void HostContext::Restore(Saved saved) {
  {
    std::lock_guard guard(lock_);
    FModuleIndex = saved.module_index;
    FRegistryPath = std::move(saved.registry_path);
    FINISectionPrefix = std::move(saved.prefix);
    FApplicationName = std::move(saved.application);
    FHostModule = saved.host_module;
    FHostModuleHandle = saved.host_module_handle;
  }
  FSendData = saved.send_data;
  FSendString = saved.send_string;
  FSendByte = saved.send_byte;
}

void HostContext::TakeLoadParameters(const TParamsList* parameters) {
  const Variant* index = FindParam(parameters, "ModuleIndex");
  const int32_t module_index = index ? index->ToInt() : 0;
  std::string registry_path = ParamText(parameters, "RegistryPath");
  std::string prefix = ParamText(parameters, "INISectionPrefix");
  const Variant* handle = FindParam(parameters, "HANDLE");
  const bool has_handle = parameters && parameters->FindByName("HANDLE") != nullptr;
  const intptr_t handle_value = handle ? handle->ToInt() : 0;
  std::string application = ParamText(parameters, "ApplicationName");
  std::lock_guard guard(lock_);
  FModuleIndex = module_index;
  FRegistryPath = std::move(registry_path);
  FINISectionPrefix = std::move(prefix);
  if (has_handle) {
    FHostModule = handle_value;
    FHostModuleHandle = platform::ModuleFromHostValue(handle_value);
  }
  FApplicationName = std::move(application);
}

void HostContext::FindHostModuleByName() {
  std::string name;
  {
    std::lock_guard guard(lock_);
    if (FHostModule != 0 || FApplicationName.empty()) return;
    name = FApplicationName;
  }
  platform::ModuleHandle found = platform::FindLoadedModule(name.c_str());
  std::lock_guard guard(lock_);
  FHostModule = reinterpret_cast<intptr_t>(found);
  FHostModuleHandle = found;
}

void HostContext::LookUpHostProcedures() {
  FSendData = FSendString = FSendByte = nullptr;
  platform::ModuleHandle module;
  {
    std::lock_guard guard(lock_);
    if (FHostModule == 0) return;
    module = FHostModuleHandle;
  }
  if (void* icon = platform::LoadModuleIcon(module, "MAINICON")) {
    Application().SetIconHandle(reinterpret_cast<uintptr_t>(icon));
  }
  FSendData = platform::ProcAddress(module, "fSendData");
  FSendString = platform::ProcAddress(module, "fSendString");
  FSendByte = platform::ProcAddress(module, "fSendByte");
}

void HostContext::ForgetHost() {
  std::lock_guard guard(lock_);
  FHostModule = 0;
  FHostModuleHandle = nullptr;
  FMessagesProcessorHandle = 0;
}

int32_t HostContext::ModuleIndex() const {
  std::lock_guard guard(lock_);
  return FModuleIndex;
}
std::string HostContext::RegistryPath() const {
  std::lock_guard guard(lock_);
  return FRegistryPath;
}
std::string HostContext::INISectionPrefix() const {
  std::lock_guard guard(lock_);
  return FINISectionPrefix;
}
std::string HostContext::ApplicationName() const {
  std::lock_guard guard(lock_);
  return FApplicationName;
}
intptr_t HostContext::HostModule() const {
  std::lock_guard guard(lock_);
  return FHostModule;
}
intptr_t HostContext::MessagesProcessorHandle() const {
  std::lock_guard guard(lock_);
  return FMessagesProcessorHandle;
}
void HostContext::SetMessagesProcessorHandle(intptr_t handle) {
  std::lock_guard guard(lock_);
  FMessagesProcessorHandle = handle;
}
void HostContext::NotificationTarget(intptr_t& handle, int32_t& module_index) const {
  std::lock_guard guard(lock_);
  handle = FMessagesProcessorHandle;
  module_index = FModuleIndex;
}

bool HostContext::State(TModuleType type) const {
  std::lock_guard guard(lock_);
  return FStates[type];
}
void HostContext::SetStates(uint32_t bits, bool enabled) {
  std::lock_guard guard(lock_);
  for (unsigned n = 0; n < 8; ++n) {
    if (bits >> n & 1u) FStates[n] = enabled;
  }
}
void HostContext::ClearStates() {
  std::lock_guard guard(lock_);
  FStates.fill(false);
}
TModuleTypes HostContext::EnabledOf(uint32_t bits) const {
  std::lock_guard guard(lock_);
  uint32_t mask = 0;
  for (unsigned n = 0; n < 8; ++n) {
    if ((bits >> n & 1u) && FStates[n]) mask |= 1u << n;
  }
  return TModuleTypes::FromMask(mask);
}
std::vector<TConfigDataSource> HostContext::DataSources() const {
  std::lock_guard guard(lock_);
  return FDataSources;
}
void HostContext::SetDataSources(std::vector<TConfigDataSource> sources) {
  std::lock_guard guard(lock_);
  FDataSources = std::move(sources);
}

std::string HostContext::Language() const {
  std::lock_guard guard(lock_);
  return FLanguage;
}
void HostContext::SetLanguage(std::string language) {
  std::lock_guard guard(lock_);
  FLanguage = std::move(language);
}
std::string HostContext::LanguageToTranslate() {
  std::lock_guard guard(lock_);
  if (FLanguage.empty()) FLanguage = "NONE";
  return FLanguage;
}
bool HostContext::BeginApplyingLanguage() {
  std::lock_guard guard(lock_);
  if (FLanguageApplied || FLanguage.empty()) return false;
  FLanguageApplied = true;
  return true;
}
bool HostContext::ChangeLanguage(const std::string& language) {
  std::lock_guard guard(lock_);
  if (FLanguage.empty() || language.empty() || language == FLanguage) return false;
  FLanguage = language;
  FLanguageApplied = false;
  return true;
}

}  // namespace kvo
