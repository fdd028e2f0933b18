// What the host told one plug-in instance: the parameters of its first "LOAD" (module index, registry
// path, INI section prefix, application name, host module), the notification handle any command may
// name, the user-interface language, the module-type states and data sources of "SET-STATE", and the
// host procedures found in the host module.
//
// Thread contract: [any-thread]. Every field but the host procedures is guarded by `lock_`, which is held
// only to read or write them: never while another lock is taken, a platform call runs or an event runs.
// The host procedures are written by the first "LOAD" only (and put back when it fails) and read by
// module code afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/module.h"
#include "plugin/module_types.h"

namespace kvo {

class TParamsList;

// A data source the host configured, from "SET-STATE".
struct TConfigDataSource {
  int32_t ID = 0;
  std::string Text1;
  std::string Text2;
};

class HostContext {
 public:
  HostContext() = default;
  HostContext(const HostContext&) = delete;
  HostContext& operator=(const HostContext&) = delete;

  // What a first "LOAD" takes, and what it puts back when it fails.
  struct Saved {
    int32_t module_index = 0;
    std::string registry_path, prefix, application;
    intptr_t host_module = 0;
    platform::ModuleHandle host_module_handle = nullptr;
    void *send_data = nullptr, *send_string = nullptr, *send_byte = nullptr;
  };
  Saved Save() const;
  void Restore(Saved saved);

  // Takes the "LOAD" parameters: "ModuleIndex", "RegistryPath", "INISectionPrefix", "HANDLE" (only when
  // present) and "ApplicationName". All are read before any is taken, so a failed conversion (which
  // throws) changes nothing.
  void TakeLoadParameters(const TParamsList* parameters);
  // Without a host module, the module of the application's name already loaded in the process, if any.
  void FindHostModuleByName();
  // The host module's icon becomes the application's; the host procedures are looked up in it (all null
  // without a host module).
  void LookUpHostProcedures();
  // What the last "UNLOAD" forgets: the host module and the notification handle.
  void ForgetHost();

  int32_t ModuleIndex() const;
  std::string RegistryPath() const;
  std::string INISectionPrefix() const;
  std::string ApplicationName() const;
  intptr_t HostModule() const;
  intptr_t MessagesProcessorHandle() const;
  void SetMessagesProcessorHandle(intptr_t handle);
  // Where a notification goes: the notification handle (0: none) and the module index it carries.
  void NotificationTarget(intptr_t& handle, int32_t& module_index) const;

  void* SendData() const { return FSendData; }
  void* SendString() const { return FSendString; }
  void* SendByte() const { return FSendByte; }

  // --- module-type states and data sources ---
  bool State(TModuleType type) const;
  // Sets the state of every type whose bit is in `bits` (bits 0 to 7) to `enabled`.
  void SetStates(uint32_t bits, bool enabled);
  void ClearStates();
  // The types of `bits` (bits 0 to 7) whose state is set.
  TModuleTypes EnabledOf(uint32_t bits) const;
  std::vector<TConfigDataSource> DataSources() const;
  void SetDataSources(std::vector<TConfigDataSource> sources);

  // --- language ---
  std::string Language() const;
  void SetLanguage(std::string language);
  // The language to translate into; an empty one becomes "NONE" first.
  std::string LanguageToTranslate();
  // True once per language: when the current one is not empty and has not been applied yet, which it
  // counts as applied from now on (whether or not the translation succeeds).
  bool BeginApplyingLanguage();
  // Makes `language` current, not yet applied. False (nothing changes) when the current language is
  // empty, `language` is empty or it is the current one.
  bool ChangeLanguage(const std::string& language);

 private:
  mutable platform::Lock lock_;
  int32_t FModuleIndex = 0;                            // guarded by lock_
  std::string FRegistryPath;                           // guarded by lock_
  std::string FINISectionPrefix;                       // guarded by lock_
  std::string FApplicationName;                        // guarded by lock_
  std::string FLanguage;                               // guarded by lock_
  intptr_t FMessagesProcessorHandle = 0;               // guarded by lock_
  intptr_t FHostModule = 0;                            // guarded by lock_
  platform::ModuleHandle FHostModuleHandle = nullptr;  // guarded by lock_; what FHostModule names
  std::array<bool, 8> FStates{};                       // guarded by lock_
  std::vector<TConfigDataSource> FDataSources;         // guarded by lock_
  bool FLanguageApplied = false;                       // guarded by lock_

  void* FSendData = nullptr;    // written by "LOAD" only
  void* FSendString = nullptr;  // written by "LOAD" only
  void* FSendByte = nullptr;    // written by "LOAD" only
};

}  // namespace kvo
