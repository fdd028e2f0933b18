// TkvoPlugin: the plug-in module component. One instance per host handle holds the module's
// self-description (published properties the exports report), the events through which the framework
// calls the concrete module, and the units that do the rest: what the host told it (HostContext), its
// settings store (SettingsFile), its log (PluginLog), the data guard (InstanceGate), the lists it lends
// the host (CallerRows, the event rows), custom commands and item definitions. A concrete module derives
// from it, sets its property values and binds its events in its constructor; the creation event and the
// first translation run after the whole constructor chain (AfterConstruction), so instances are made
// with CreatePluginOf<T>.
//
// Thread contract: the host may call into one instance from several threads at once.
//   - `FLock` (Lock/Unlock) is for module code, which holds it while it changes its components (the
//     settings form); the framework takes it only to translate them, so a language change on one
//     thread never walks a form that another thread is loading, rebuilding or destroying.
//   - Each unit guards its own state (see its header): the host context, the settings store, the log,
//     the item definitions and the gate. The settings store's change lock is taken before FLock and the
//     host context's lock; none of the units' locks is held while an event runs.
//   - The load counter changes by atomic increment and decrement.
//   - The result and event row lists live from the first "LOAD" to the last "UNLOAD"; the last "UNLOAD"
//     waits at the gate until the data calls in flight have left before it destroys them. Each calling
//     thread has its own result rows (CallerRows), so overlapping data calls never share a list.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "params/params_list.h"
#include "platform/lock.h"
#include "plugin/caller_rows.h"
#include "plugin/custom_commands.h"
#include "plugin/host_context.h"
#include "plugin/instance_gate.h"
#include "plugin/module_types.h"
#include "plugin/parser_items.h"
#include "plugin/plugin_log.h"
#include "plugin/settings_file.h"
#include "runtime/data_module.h"
#include "runtime/event.h"
#include "runtime/string_list.h"
#include "runtime/type_kind.h"
#include "settings/wreg_types.h"

namespace kvo {

class TkvoPlugin;
class TWtransl;

// Event types: parameters a handler may change are references.
using TShowOptionsDialogEvent =
    Event<void(TkvoPlugin& sender, TModuleTypes call_module_type, TParamsList* parameters, bool& success)>;
using TExecutePluginCustomCommandEvent =
    Event<void(TkvoPlugin& sender, const std::string& command, TParamsList* parameters, int32_t& result)>;
using TExecutePluginCommandEvent = Event<void(TkvoPlugin& sender, TParamsList* parameters, int32_t& result)>;
using TOnPluginStateChangeNotifyEvent = Event<void(TkvoPlugin& sender, TModuleTypes module_types)>;
using TOnProcessData =
    Event<void(TkvoPlugin& sender, uint32_t data_source_id, TModuleTypes call_module_type, TParamsList* data,
               TParamsList* device, void*& in_out_binary_buffer, int32_t& result)>;
using TOnPluginNotifyEvent = Event<void(TkvoPlugin& sender)>;

// Makes a complete instance of T (construction, then the creation event and the first translation).
template <typename T>
TkvoPlugin* CreatePluginOf(TParamsList* parameters) {
  return Create<T>(parameters);
}

class TkvoPlugin : public TDataModule {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  // Called by the registry only (through CreatePluginOf). `parameters` may be null.
  explicit TkvoPlugin(TParamsList* parameters);
  ~TkvoPlugin() override;
  void AfterConstruction() override;

  // --- published properties ---
  std::string MsgNoData = "No data for processing";
  std::string MsgWriteComplete = "Data have been processed successful";
  std::string MsgWriteCompleteError = "Data have been processed with errors";
  std::string MsgBadLen = "Data array has an invalid number of columns %d (%d)";
  float MinVersion = 3.0f;
  std::string Description;
  std::string LogTitle;
  TModuleTypes ModuleType;
  TModuleOptions ModuleOptions;
  std::string EventsSupported;
  bool IsMultiThreadSupported = true;

  // --- published events ---
  TShowOptionsDialogEvent OnShowOptionsDialog;
  TExecutePluginCustomCommandEvent OnExecuteCustomCommand;
  TExecutePluginCustomCommandEvent OnEvent;
  TExecutePluginCommandEvent OnLoad;
  TExecutePluginCommandEvent OnUnload;
  TOnPluginNotifyEvent OnSaveSettingsNow;
  TOnPluginNotifyEvent OnLoadSettingsNow;
  TOnPluginNotifyEvent OnSetParserItems;
  TOnPluginStateChangeNotifyEvent OnStateChanged;
  TOnProcessData OnProcessData;
  TOnProcessData OnGetData;
  TOnPluginNotifyEvent OnBeforeGetParserItems;
  TSetValueProc OnSetPropertyValue;
  TGetValueProc OnGetPropertyValue;
  TBeforeProcessItemProc OnBeforeProcessSettingsItem;
  TOnPluginNotifyEvent OnChangeLanguage;

  // --- the instance's main lock, for module code ---
  void Lock() { FLock.lock(); }
  void Unlock() { FLock.unlock(); }
  // The same, so that std::lock_guard takes the instance itself.
  void lock() { FLock.lock(); }
  void unlock() { FLock.unlock(); }

  // --- host identity and parameters ---
  int32_t Handle() const { return FHandle; }
  void SetHandle(int32_t handle) { FHandle = handle; }  // the registry's, right after construction
  int32_t ModuleIndex() const { return FHost.ModuleIndex(); }
  std::string RegistryPath() const { return FHost.RegistryPath(); }
  std::string INISectionPrefix() const { return FHost.INISectionPrefix(); }
  // The settings store's INI file (empty: the registry): a settings command's own store on the thread
  // running it, else FINIFile.
  std::string INIFile() const { return FSettingsFile.Current(); }
  std::string ApplicationName() const { return FHost.ApplicationName(); }
  std::string Language() const { return FHost.Language(); }
  intptr_t MessagesProcessorHandle() const { return FHost.MessagesProcessorHandle(); }
  intptr_t HostModule() const { return FHost.HostModule(); }
  int32_t LoadCount() const;
  bool TemporaryLoad() const { return FTemporaryLoad; }
  bool Unloaded() const { return FDataGate.Unloaded(); }
  bool InOptionsDialog() const { return FInOptionsDialog.load(std::memory_order_relaxed); }
  bool State(TModuleType type) const { return FHost.State(type); }
  std::vector<TConfigDataSource> DataSources() const { return FHost.DataSources(); }
  const std::string& Version() const { return FVersion; }
  const std::string& ModulePath() const { return FModulePath; }
  const std::string& ModuleFileName() const { return FModuleFileName; }
  TRegistryRoot RegistryRoot() const { return FRegistryRoot; }
  TRegistryRoot SecondRegistryRoot() const { return FSecondRegistryRoot; }
  // The host procedures looked up at "LOAD"; null where the host has none.
  void* SendData() const { return FHost.SendData(); }
  void* SendString() const { return FHost.SendString(); }
  void* SendByte() const { return FHost.SendByte(); }
  TWtransl* Transl() const { return FTransl.get(); }

  // --- notification and log ---
  // Posts `msg` to the host's notification handle with word parameter ModuleIndex, without waiting.
  void PostHostMessage(uint32_t msg, int32_t lparam);
  // Appends one log entry and notifies the host. Never fails outwards.
  void AddLogMessage(uint8_t kind, std::string_view text, bool flag = false);
  void ClearLog() { FLog.Clear(); }
  PluginLog& Log() { return FLog; }

  // --- lists lent to the host, custom commands, item definitions ---
  // The calling thread's result rows (made on its first use); null before the first "LOAD" and after the
  // last "UNLOAD".
  TRowsParamsList* ResultRows() const { return FResultRows.ForThisThread(); }
  TRowsParamsList* EventRows() const { return FEventRows.load(std::memory_order_acquire); }
  TkvoPluginCustomCmdList& CustomCommands() { return FCustomCommands; }
  int32_t ParserItemCount() const { return FParserItems.Count(); }
  void GetParserItem(int32_t index, TParserItem& item) { item = FParserItems.Get(index); }
  void SetParserItem(int32_t index, const TParserItem& item) { FParserItems.Set(index, item); }
  void ClearParserItems() { FParserItems.Clear(); }
  ParserItems& Items() { return FParserItems; }

  // --- operations ---
  void ReadIniFileParam(TParamsList* parameters, bool store, std::string& ini_file);
  TModuleTypes ModuleTypesFromValue(const Variant& type_value, bool only_enabled) const;
  void ApplyLanguageParam(TParamsList* parameters);
  void ApplyLanguage();
  void TranslateComponent(TComponent* component);
  // False (with the store's reason in `error`, if given) when the store could not be opened.
  bool ProcessProperties(int32_t operation, TStrings* map, TComponent* target, const std::string& file_name,
                         std::string* error = nullptr);
  bool LoadProperties(TStrings* map, TComponent* target, const std::string& file_name) {
    return ProcessProperties(0, map, target, file_name);
  }
  bool SaveProperties(TStrings* map, TComponent* target, const std::string& file_name,
                      std::string* error = nullptr) {
    return ProcessProperties(1, map, target, file_name, error);
  }
  void DoLoad(TParamsList* parameters);
  void DoUnload(TParamsList* parameters);
  // The ShowOptionsDialog export's work on this instance; `parameters` may be null. True when the dialog
  // reported success (the log is discarded then): the caller has the instances that share the settings
  // storage reload them. Nothing escapes.
  bool ShowOptionsDialog(TParamsList* parameters) noexcept;

  // The command dispatcher behind ExecutePluginCommand.
  int32_t ExecuteCommand(const std::string& command, TParamsList* parameters);
  // The data cores behind the data exports; `data`, `rows` and `events` are the host's variables.
  int32_t DoProcessData(uint32_t data_source_id, TParamsList* parameters, void** data, TParamsList** rows);
  int32_t DoGetData(uint32_t data_source_id, TParamsList* parameters, void** data, TParamsList** rows);
  int32_t DoGetEvents(TParamsList** events);

  // The data guard's state, which the data exports pass through.
  InstanceGate& DataGate() { return FDataGate; }

  // The data event's hot path. A module whose OnProcessData is Plain(handler, context) may name a block
  // procedure that does the same work given only the block and the result rows the call lends (the calling
  // thread's), and returns the call's result. While OnProcessData is still that handler, a data call that
  // is neither a query, an export nor an event, with a live non-empty block, goes to the procedure without
  // the event's general form; any other call, or a changed OnProcessData, takes the usual path.
  // REQUIRES: set before the instance is shared (the module's constructor).
  using TProcessBlockProc = int32_t (*)(void* context, TParamsList* block, TRowsParamsList* rows);
  // DoProcessData's part for such calls (plugin/block_call.h): true, with the call's result, when it took
  // the call; false, having changed nothing, when the call takes the usual path. REQUIRES: `parameters` is
  // a live list and *rows is null.
  bool TryBlockCall(TParamsList* parameters, void** data, TParamsList** rows, int32_t* result);
  void SetBlockProc(TOnProcessData::PlainHandler handler, TProcessBlockProc proc, void* context) noexcept {
    FBlockHandler = handler;
    FBlockProc = proc;
    FBlockContext = context;
  }

 private:
  friend struct TkvoPluginProperties;

  void SetDataSourcesFromLines(std::string_view text);
  void SetDataSourcesFromList(std::string_view text);
  int32_t CommandSetState(TParamsList* parameters);
  int32_t CommandSettingsNow(bool load, TParamsList* parameters);
  int32_t CommandEvent(TParamsList* parameters);
  void ReleaseRowLists();
  // Logs a message property unless it is empty. The translation walk rewrites those texts under FLock,
  // so they are read under it too.
  void LogMessageProperty(uint8_t kind, const std::string& message);

  platform::RecursiveLock FLock;  // module code; the framework only while translating
  int32_t FLoadCount = 0;         // atomic increment/decrement only
  int32_t FHandle = 0;            // set once by the registry before the instance is shared

  HostContext FHost;
  SettingsFile FSettingsFile;

  bool FTemporaryLoad = false;                // fixed at construction
  std::atomic<bool> FInOptionsDialog{false};  // set around OnShowOptionsDialog; cleared by "LOAD", "UNLOAD"
  std::string FVersion;                       // fixed at construction
  std::string FModulePath;                    // fixed at construction
  std::string FModuleFileName;                // fixed at construction
  TRegistryRoot FRegistryRoot = rrHKEY_LOCAL_MACHINE;
  TRegistryRoot FSecondRegistryRoot = rrHKEY_CURRENT_USER;

  std::unique_ptr<TWtransl> FTransl;
  PluginLog FLog;
  TkvoPluginCustomCmdList FCustomCommands;
  ParserItems FParserItems;
  InstanceGate FDataGate;
  mutable CallerRows FResultRows;  // one list per calling thread
  std::atomic<TRowsParamsList*> FEventRows{nullptr};
  TOnProcessData::PlainHandler FBlockHandler = nullptr;  // fixed at construction (SetBlockProc)
  TProcessBlockProc FBlockProc = nullptr;                // fixed at construction
  void* FBlockContext = nullptr;                         // fixed at construction

 public:
  static const PropInfo kPublished[];
};

}  // namespace kvo
