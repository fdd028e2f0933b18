// The plug-in module component: construction, "LOAD"/"UNLOAD", language and settings operations.
#include "plugin/plugin_component.h"

#include <mutex>

#include "kvo/kvo_plugin.h"
#include "language/wtransl.h"
#include "params/boundary.h"
#include "platform/atomic.h"
#include "platform/files.h"
#include "platform/help.h"
#include "platform/module.h"
#include "platform/notify.h"
#include "plugin/host_params.h"
#include "plugin/plugin_registry.h"
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
  std::string language = "EN";
  FTransl->LanguageFile = WithExtension(path, ".lng");
  FTransl->FBaseLanguage = "EN";
  if (!path.empty() && platform::FileExists(FTransl->LanguageFile)) {
    FTransl->GetLanguages(nullptr, language);
  } else {
    FTransl->LanguageFile.clear();
  }
  FHost.SetLanguage(std::move(language));
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

int32_t TkvoPlugin::LoadCount() const {
  return std::atomic_ref<const int32_t>(FLoadCount).load();
}

// --- notification and log ---

void TkvoPlugin::PostHostMessage(uint32_t msg, int32_t lparam) {
  intptr_t target;
  int32_t index;
  FHost.NotificationTarget(target, index);
  if (target != 0) platform::PostNotification(target, msg, static_cast<uint32_t>(index), lparam);
}

void TkvoPlugin::AddLogMessage(uint8_t kind, std::string_view text, bool flag) {
  FLog.Add(LogTitle, kind, text, flag);
  PostHostMessage(KVO_MSG_LOG_CHANGED, 0);
}

// --- host parameters ---

void TkvoPlugin::ReadIniFileParam(TParamsList* parameters, bool store, std::string& ini_file) {
  ini_file.clear();
  if (!parameters) return;
  ini_file = ParamText(parameters, "INI-FILE");
  if (store) FSettingsFile.Store(ini_file);
}

TModuleTypes TkvoPlugin::ModuleTypesFromValue(const Variant& type_value, bool only_enabled) const {
  if (IsMissing(type_value)) return {};
  const uint32_t bits = static_cast<uint32_t>(type_value.ToInt()) & 0xFFu;
  if (!only_enabled) return TModuleTypes::FromMask(bits);
  return FHost.EnabledOf(bits);
}

void TkvoPlugin::DoLoad(TParamsList* parameters) {
  const int32_t load_count = platform::AtomicIncrement(&FLoadCount);
  if (load_count > 1) return;
  if (load_count == 1) g_loaded_instances.fetch_add(1, std::memory_order_acq_rel);
  // A first "LOAD" that fails leaves the instance as it found it (not loaded, the host's parameters as
  // they were), so that the host's retry loads. The host parameters are all read before any is taken.
  HostContext::Saved before = FHost.Save();
  std::string ini_file_before = FSettingsFile.Stored();
  try {
    std::string ini_file;
    ReadIniFileParam(parameters, false, ini_file);
    FHost.TakeLoadParameters(parameters);
    FInOptionsDialog.store(false);
    ClearLog();
    FHost.FindHostModuleByName();
    ReadIniFileParam(parameters, true, ini_file);
    // Left in place should a later step fail: a data call may already hold them, and the retry reuses them.
    FResultRows.Open();
    if (!FEventRows.load()) FEventRows.store(new TRowsParamsList());
    FHost.LookUpHostProcedures();
    int32_t result = 0;
    OnLoad(*this, parameters, result);
  } catch (...) {
    {
      std::lock_guard settings(FSettingsFile);
      FHost.Restore(std::move(before));
      FSettingsFile.Store(std::move(ini_file_before));
    }
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
  FHost.ClearStates();
  {
    // No other lasting change of the file between storing it and saving into it.
    std::lock_guard settings(FSettingsFile);
    std::string ini_file;
    ReadIniFileParam(parameters, false, ini_file);
    if (FSettingsFile.StoreIfChanged(std::move(ini_file))) {
      AtBoundary([&] { OnSaveSettingsNow(*this); });
    }
  }
  AtBoundary([&] {
    int32_t result = 0;
    OnUnload(*this, parameters, result);
  });
  FInOptionsDialog.store(false);
  // Data calls that passed the guard before it closed may still use the lists.
  FDataGate.WaitUntilIdle();
  ReleaseRowLists();
  ClearLog();
  FHost.ForgetHost();
  // The help viewer's windows and library go with the last loaded instance: the library's detach runs
  // under the loader lock, where closing them could deadlock.
  if (g_loaded_instances.load(std::memory_order_acquire) == 0) platform::SystemHelpViewer().Release();
}

// --- language ---

void TkvoPlugin::TranslateComponent(TComponent* component) {
  const std::string language = FHost.LanguageToTranslate();
  if (!FTransl) return;
  std::lock_guard guard(FLock);
  FTransl->Translate(language, component, "EN");
}

void TkvoPlugin::ApplyLanguage() {
  if (FHost.BeginApplyingLanguage()) TranslateComponent(this);
}

void TkvoPlugin::ApplyLanguageParam(TParamsList* parameters) {
  const Variant* value = FindParam(parameters, "LANGUAGE");
  if (!value) return;
  if (!FHost.ChangeLanguage(value->ToText())) return;
  ApplyLanguage();
  AtBoundary([&] { OnChangeLanguage(*this); });
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

bool TkvoPlugin::ShowOptionsDialog(TParamsList* parameters) noexcept {
  if (!OnShowOptionsDialog) return false;
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
      return false;
    }
  }
  FInOptionsDialog.store(true);
  bool success = false;
  AtBoundary([&] { OnShowOptionsDialog(*this, call_type, parameters, success); });
  if (success) ClearLog();
  FInOptionsDialog.store(false);
  return success;
}

}  // namespace kvo
