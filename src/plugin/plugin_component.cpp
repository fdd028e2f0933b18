// The plug-in module component: construction, "LOAD"/"UNLOAD", language and settings operations.
#include "plugin/plugin_component.h"

#include <mutex>

#include "language/wtransl.h"
#include "platform/atomic.h"
#include "platform/files.h"
#include "platform/help.h"
#include "platform/host_module.h"
#include "platform/module.h"
#include "platform/notify.h"
#include "platform/ui.h"
#include "plugin/host_params.h"
#include "plugin/plugin_registry.h"
#include "runtime/application.h"
#include "settings/version_info.h"
#include "settings/wreg.h"

namespace kvo {
namespace {

// How many instances have a load count above 0, so that the last "UNLOAD" of the process knows it is the
// last without visiting every instance.
std::atomic<int32_t> g_loaded_instances{0};

// Splits a path into its folder (with the trailing separator) and its file name.
void SplitPath(const std::string& path, std::string& folder, std::string& file) {
  size_t cut = path.find_last_of("/\\");
  folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  file = cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string WithExtension(const std::string& path, std::string_view extension) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + std::string(extension);
  return path.substr(0, dot) + std::string(extension);
}

}  // namespace

TkvoPlugin::TkvoPlugin(TParamsList* parameters) : TDataModule(nullptr) {
  // Steps 1-3: counters and flags.
  FTemporaryLoad = parameters == nullptr;
  if (parameters) {
    try {
      if (const Variant* value = FindParam(parameters, "TEMPORARY-LOAD")) FTemporaryLoad = value->ToBool();
    } catch (...) {
      FTemporaryLoad = false;
    }
  }
  // Step 4: the translator.
  FTransl = std::make_unique<TWtransl>(nullptr);
  // Step 8: the version text of the module's own file, read once: every instance is of the same file.
  static const std::string module_version = ModuleVersionText();
  FVersion = module_version;
  // Steps 9-11: the module's own file, its language file and its folder.
  const std::string path = platform::OwnModulePath();
  FLanguage = "EN";
  FTransl->LanguageFile = WithExtension(path, ".lng");
  FTransl->FBaseLanguage = "EN";
  if (!path.empty() && platform::FileExists(FTransl->LanguageFile)) {
    FTransl->GetLanguages(nullptr, FLanguage);
  } else {
    FTransl->LanguageFile.clear();
  }
  for (const char* name : {"MsgNoData", "MsgWriteComplete", "MsgWriteCompleteError", "MsgBadLen"}) {
    FTransl->ComponentProperties.Add(name);
  }
  SplitPath(path, FModulePath, FModuleFileName);
}

void TkvoPlugin::AfterConstruction() {
  // Step 12: the descendant has set its values and bindings; the creation event runs.
  TDataModule::AfterConstruction();
  // Step 13.
  if (FTransl && !FTransl->LanguageFile.empty()) ApplyLanguage();
}

TkvoPlugin::~TkvoPlugin() {
  // No module event runs here: unload and save events belong to "UNLOAD".
  if (LoadCount() > 0) g_loaded_instances.fetch_sub(1, std::memory_order_acq_rel);
  FParserItems.Clear();
  ReleaseRowLists();
}

void TkvoPlugin::ReleaseRowLists() {
  FResultRows.Close();
  delete FEventRows.exchange(nullptr, std::memory_order_acq_rel);
}

// --- accessors of the guarded host parameters ---

int32_t TkvoPlugin::ModuleIndex() const {
  std::lock_guard guard(state_lock_);
  return FModuleIndex;
}
std::string TkvoPlugin::RegistryPath() const {
  std::lock_guard guard(state_lock_);
  return FRegistryPath;
}
std::string TkvoPlugin::INISectionPrefix() const {
  std::lock_guard guard(state_lock_);
  return FINISectionPrefix;
}
namespace {
// The settings commands running on this thread, innermost first.
thread_local const TkvoPlugin::StoreOverride* t_store_override = nullptr;
}  // namespace

TkvoPlugin::StoreOverride::StoreOverride(const TkvoPlugin& plugin, std::string ini_file)
    : plugin_(plugin), ini_file_(std::move(ini_file)), outer_(t_store_override) {
  t_store_override = this;
}

TkvoPlugin::StoreOverride::~StoreOverride() {
  t_store_override = outer_;
}

std::string TkvoPlugin::INIFile() const {
  for (const StoreOverride* o = t_store_override; o != nullptr; o = o->outer_) {
    if (&o->plugin_ == this) return o->ini_file_;
  }
  std::lock_guard guard(state_lock_);
  return FINIFile;
}
std::string TkvoPlugin::ApplicationName() const {
  std::lock_guard guard(state_lock_);
  return FApplicationName;
}
std::string TkvoPlugin::Language() const {
  std::lock_guard guard(state_lock_);
  return FLanguage;
}
intptr_t TkvoPlugin::MessagesProcessorHandle() const {
  std::lock_guard guard(state_lock_);
  return FMessagesProcessorHandle;
}
intptr_t TkvoPlugin::HostModule() const {
  std::lock_guard guard(state_lock_);
  return FHostModule;
}
int32_t TkvoPlugin::LoadCount() const {
  return std::atomic_ref<const int32_t>(FLoadCount).load();
}
bool TkvoPlugin::State(TModuleType type) const {
  std::lock_guard guard(state_lock_);
  return FStates[type];
}
std::vector<TConfigDataSource> TkvoPlugin::DataSources() const {
  std::lock_guard guard(state_lock_);
  return FDataSources;
}

// --- notification and log ---

void TkvoPlugin::PostHostMessage(uint32_t msg, int32_t lparam) {
  intptr_t target;
  int32_t index;
  {
    std::lock_guard guard(state_lock_);
    target = FMessagesProcessorHandle;
    index = FModuleIndex;
  }
  if (target != 0) platform::PostNotification(target, msg, static_cast<uint32_t>(index), lparam);
}

void TkvoPlugin::AddLogMessage(uint8_t kind, std::string_view text, bool flag) {
  FLog.Add(LogTitle, kind, text, flag);
  PostHostMessage(1809, 0);
}

// --- host parameters ---

void TkvoPlugin::ReadIniFileParam(TParamsList* parameters, bool store, std::string& ini_file) {
  ini_file.clear();
  if (!parameters) return;
  ini_file = ParamText(parameters, "INI-FILE");
  if (store) {
    std::lock_guard settings(settings_file_lock_);
    std::lock_guard guard(state_lock_);
    FINIFile = ini_file;
  }
}

TModuleTypes TkvoPlugin::ModuleTypesFromValue(const Variant& type_value, bool only_enabled) const {
  if (IsMissing(type_value)) return {};
  const uint32_t bits = static_cast<uint32_t>(type_value.ToInt()) & 0xFFu;
  if (!only_enabled) return TModuleTypes::FromMask(bits);
  std::lock_guard guard(state_lock_);
  uint32_t mask = 0;
  for (unsigned n = 0; n < 8; ++n) {
    if ((bits >> n & 1u) && FStates[n]) mask |= 1u << n;
  }
  return TModuleTypes::FromMask(mask);
}

void TkvoPlugin::LookUpHostProcedures() {
  FSendData = FSendString = FSendByte = nullptr;
  platform::ModuleHandle module;
  {
    std::lock_guard guard(state_lock_);
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

void TkvoPlugin::DoLoad(TParamsList* parameters) {
  const int32_t load_count = platform::AtomicIncrement(&FLoadCount);
  if (load_count > 1) return;
  if (load_count == 1) g_loaded_instances.fetch_add(1, std::memory_order_acq_rel);
  // A first "LOAD" that fails leaves the instance as it found it (not loaded, the host's parameters as
  // they were), so that the host's retry loads. The host parameters are all read before any is taken.
  struct Taken {
    int32_t module_index;
    std::string registry_path, prefix, application, ini_file;
    intptr_t host_module;
    platform::ModuleHandle host_module_handle;
    void *send_data, *send_string, *send_byte;
  };
  Taken before;
  {
    std::lock_guard guard(state_lock_);
    before = {FModuleIndex, FRegistryPath,     FINISectionPrefix, FApplicationName, FINIFile,
              FHostModule,  FHostModuleHandle, FSendData,         FSendString,      FSendByte};
  }
  try {
    const Variant* index = FindParam(parameters, "ModuleIndex");
    const int32_t module_index = index ? index->ToInt() : 0;
    std::string registry_path = ParamText(parameters, "RegistryPath");
    std::string prefix = ParamText(parameters, "INISectionPrefix");
    const Variant* handle = FindParam(parameters, "HANDLE");
    const bool has_handle = parameters && parameters->FindByName("HANDLE") != nullptr;
    const intptr_t handle_value = handle ? handle->ToInt() : 0;
    std::string application = ParamText(parameters, "ApplicationName");
    std::string ini_file;
    ReadIniFileParam(parameters, false, ini_file);
    FInOptionsDialog.store(false);
    {
      std::lock_guard guard(state_lock_);
      FModuleIndex = module_index;
      FRegistryPath = std::move(registry_path);
      FINISectionPrefix = std::move(prefix);
      if (has_handle) {
        FHostModule = handle_value;
        FHostModuleHandle = platform::ModuleFromHostValue(handle_value);
      }
      FApplicationName = std::move(application);
    }
    ClearLog();
    {
      std::string name = ApplicationName();
      if (HostModule() == 0 && !name.empty()) {
        platform::ModuleHandle found = platform::FindLoadedModule(name.c_str());
        std::lock_guard guard(state_lock_);
        FHostModule = reinterpret_cast<intptr_t>(found);
        FHostModuleHandle = found;
      }
    }
    ReadIniFileParam(parameters, true, ini_file);
    // Left in place should a later step fail: a data call may already hold them, and the retry reuses them.
    FResultRows.Open();
    if (!FEventRows.load()) FEventRows.store(new TRowsParamsList());
    LookUpHostProcedures();
    int32_t result = 0;
    OnLoad(*this, parameters, result);
  } catch (...) {
    {
      std::lock_guard settings(settings_file_lock_);
      std::lock_guard guard(state_lock_);
      FModuleIndex = before.module_index;
      FRegistryPath = std::move(before.registry_path);
      FINISectionPrefix = std::move(before.prefix);
      FApplicationName = std::move(before.application);
      FINIFile = std::move(before.ini_file);
      FHostModule = before.host_module;
      FHostModuleHandle = before.host_module_handle;
    }
    FSendData = before.send_data;
    FSendString = before.send_string;
    FSendByte = before.send_byte;
    platform::AtomicDecrement(&FLoadCount);
    if (load_count == 1) g_loaded_instances.fetch_sub(1, std::memory_order_acq_rel);
    throw;
  }
}

void TkvoPlugin::DoUnload(TParamsList* parameters) {
  const int32_t count = platform::AtomicDecrement(&FLoadCount);
  if (count < 0) {
    std::atomic_ref<int32_t>(FLoadCount).store(0);
    return;
  }
  if (count > 0) return;
  g_loaded_instances.fetch_sub(1, std::memory_order_acq_rel);
  FDataGate.Close();
  {
    std::lock_guard guard(state_lock_);
    FStates.fill(false);
  }
  {
    // Not while a settings command has the file pointed elsewhere: it would point it back afterwards.
    std::lock_guard settings(settings_file_lock_);
    std::string ini_file;
    ReadIniFileParam(parameters, false, ini_file);
    bool changed;
    {
      std::lock_guard guard(state_lock_);
      changed = ini_file != FINIFile;
      if (changed) FINIFile = ini_file;
    }
    if (changed) {
      try {
        OnSaveSettingsNow(*this);
      } catch (...) {
      }
    }
  }
  try {
    int32_t result = 0;
    OnUnload(*this, parameters, result);
  } catch (...) {
  }
  FInOptionsDialog.store(false);
  // Data calls that passed the guard before it closed may still use the lists.
  FDataGate.WaitUntilIdle();
  ReleaseRowLists();
  ClearLog();
  {
    std::lock_guard guard(state_lock_);
    FHostModule = 0;
    FHostModuleHandle = nullptr;
    FMessagesProcessorHandle = 0;
  }
  // The help viewer's windows and library go with the last loaded instance: the library's detach runs
  // under the loader lock, where closing them could deadlock.
  if (g_loaded_instances.load(std::memory_order_acquire) == 0) platform::SystemHelpViewer().Release();
}

// --- language ---

void TkvoPlugin::TranslateComponent(TComponent* component) {
  std::string language;
  {
    std::lock_guard guard(state_lock_);
    if (FLanguage.empty()) FLanguage = "NONE";
    language = FLanguage;
  }
  if (!FTransl) return;
  std::lock_guard guard(FLock);
  FTransl->Translate(language, component, "EN");
}

void TkvoPlugin::ApplyLanguage() {
  {
    std::lock_guard guard(state_lock_);
    if (FLanguageApplied || FLanguage.empty()) return;
    FLanguageApplied = true;  // set whether or not the translation succeeds
  }
  TranslateComponent(this);
}

void TkvoPlugin::ApplyLanguageParam(TParamsList* parameters) {
  const Variant* value = FindParam(parameters, "LANGUAGE");
  if (!value) return;
  std::string language = value->ToText();
  {
    std::lock_guard guard(state_lock_);
    if (FLanguage.empty() || language.empty() || language == FLanguage) return;
    FLanguage = language;
    FLanguageApplied = false;
  }
  ApplyLanguage();
  try {
    OnChangeLanguage(*this);
  } catch (...) {
  }
}

// --- settings ---

bool TkvoPlugin::ProcessProperties(int32_t operation, TStrings* map, TComponent* target,
                                   const std::string& file_name, std::string* error) {
  if (!map) return false;
  if (operation != 0 && operation != 1) return false;
  TWreg store(nullptr);
  store.SetRegistryRoot(FRegistryRoot);
  store.SetSecondRegistryRoot(FSecondRegistryRoot);
  store.SetRegistryPath(RegistryPath());
  store.SetINIFileSectionPrefix(INISectionPrefix());
  store.SetValue = OnSetPropertyValue;
  store.GetValue = OnGetPropertyValue;
  store.BeforeProcessItem = OnBeforeProcessSettingsItem;
  store.SetINIFile(file_name.empty() ? INIFile() : file_name);
  store.SetComponents(map);
  const bool done = operation == 0 ? store.LoadFromStore(target) : store.SaveToStore(target);
  if (!done && error) *error = store.LastError();
  return done;
}

// --- options dialog ---

void TkvoPlugin::ShowOptionsDialog(TParamsList* parameters) noexcept {
  if (!OnShowOptionsDialog) return;
  TModuleTypes call_type;
  if (parameters) {
    try {
      std::string ini_file;
      ReadIniFileParam(parameters, true, ini_file);
      ApplyLanguageParam(parameters);
      if (const Variant* type = FindParam(parameters, "TYPE")) {
        call_type = TModuleTypes::FromMask(static_cast<uint32_t>(type->ToInt()) & 0xFFu);
      }
    } catch (...) {
      return;
    }
  }
  FInOptionsDialog.store(true);
  bool success = false;
  try {
    OnShowOptionsDialog(*this, call_type, parameters, success);
  } catch (...) {
  }
  if (success) {
    ClearLog();
    // Other places of the host configuration that share the settings storage reload what was stored.
    try {
      const std::string path = RegistryPath();
      ForEachPluginInstance([&](TkvoPlugin& other) {
        if (&other == this || !other.OnLoadSettingsNow || other.RegistryPath() != path) return;
        try {
          other.OnLoadSettingsNow(other);
        } catch (...) {
        }
      });
    } catch (...) {
    }
  }
  FInOptionsDialog.store(false);
}

}  // namespace kvo
