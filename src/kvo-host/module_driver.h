// The plug-in module as kvo-host drives it: loaded by path, reached only through its twelve exports, with
// parameter lists made by the host SDK.
//
// Thread contract: one thread loads, drives and unloads a module.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "kvo-host/value.h"
#include "kvo/kvo_host.h"
#include "kvo/kvo_plugin.h"

namespace kvo::host {

// A module that cannot be loaded or lacks an export; the message names the file and the exports.
class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ModuleExports {
  KvoGetPluginInterfaceVersionFn GetPluginInterfaceVersion = nullptr;
  KvoGetAppMinVersionFn GetAppMinVersion = nullptr;
  KvoGetModuleDescriptionFn GetModuleDescription = nullptr;
  KvoGetModuleTypeFn GetModuleType = nullptr;
  KvoMultiThreadSupportFn MultiThreadSupport = nullptr;
  KvoGetLogExFn GetLogEx = nullptr;
  KvoGetCustomCommandsFn GetCustomCommands = nullptr;
  KvoShowOptionsDialogFn ShowOptionsDialog = nullptr;
  KvoExecutePluginCommandFn ExecutePluginCommand = nullptr;
  KvoGetDataFn GetData = nullptr;
  KvoGetEventsFn GetEvents = nullptr;
  KvoProcessDataFn ProcessData = nullptr;
};

class PluginModule {
 public:
  // Throws ModuleError.
  explicit PluginModule(std::string path);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  const ModuleExports& Exports() const { return exports_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  void* module_ = nullptr;
  ModuleExports exports_;
};

// A parameter list owned by the host.
class OwnedParams {
 public:
  OwnedParams();
  ~OwnedParams();
  OwnedParams(const OwnedParams&) = delete;
  OwnedParams& operator=(const OwnedParams&) = delete;
  TParamsList* get() const { return list_; }
  OwnedParams& Text(const char* name, const std::string& value);
  OwnedParams& Int(const char* name, int32_t value);

 private:
  TParamsList* list_;
};

// What "LOAD" tells the instance.
struct LoadOptions {
  std::string ini_file;
  std::string section_prefix;
  std::string registry_path;
  std::string language;
  int32_t module_index = 0;
  intptr_t messages_handle = 0;  // 0: none
};

// One plug-in instance of the module, under one host handle.
class FilterSession {
 public:
  FilterSession(const PluginModule& module, int32_t handle) : x_(module.Exports()), handle_(handle) {}

  // The commands; each returns the module's result.
  int32_t Command(const char* command, OwnedParams& parameters);
  int32_t SetItems(const std::string& items);
  int32_t Load(const LoadOptions& options);
  int32_t EnableFilter();
  int32_t Unload();
  // The module's options dialog for this instance's store; returns when the dialog is closed.
  void ShowOptionsDialog();
  // ProcessData in the filter role; `*rows` receives the lent result rows or null.
  int32_t Process(TParamsList* block, TParamsList** rows);
  // From now on ProcessData gets `call` (TYPE filter) instead of a list of the session's own, so that many
  // sessions share one. REQUIRES: `call` outlives the session; the module only reads it.
  void ShareFilterCall(TParamsList* call) { shared_call_ = call; }
  // The pending log text, fetched by the buffer protocol (asking for the size, then growing the buffer).
  std::string FetchLog();

 private:
  const ModuleExports& x_;
  int32_t handle_;
  std::unique_ptr<OwnedParams> filter_call_;  // made on the first ProcessData
  TParamsList* shared_call_ = nullptr;
  std::vector<char> log_buffer_;
  std::string ini_file_;  // the "INI-FILE" of "LOAD", named again at "UNLOAD"
};

// The item list text of "SET ITEMS" for the columns, typed from a first row (missing values: no type).
std::string ItemListText(const std::vector<std::string>& columns, const std::vector<ValueKind>& kinds);

}  // namespace kvo::host
