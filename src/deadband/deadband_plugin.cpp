// The deadband module's data module: its configuration and event handlers.
#include "deadband/deadband_plugin.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "language/wtransl.h"
#include "plugin/plugin_registry.h"
#include "runtime/application.h"
#include "view/form_view.h"

namespace kvo {

constinit const TClassInfo TaPlugin::StaticClass{"TaPlugin", &TkvoPlugin::StaticClass};

TaPlugin::TaPlugin(TParamsList* parameters) : TkvoPlugin(parameters) {
  SetName("aPlugin");
  Description = "Deadband";
  LogTitle = "Deadband";
  ModuleType = TModuleTypes{mttFilter};
  ModuleOptions = TModuleOptions{};
  MinVersion = 3.6f;
  IsMultiThreadSupported = true;
  MsgNoData = "No data for processing";
  MsgWriteComplete = "Data have been processed successful";
  MsgWriteCompleteError = "Data have been processed with errors";
  MsgBadLen = "Data array has an invalid number of columns %d (%d)";
  EventsSupported.clear();

  OnCreate = [this](TObject& sender) { kvoPluginCreate(sender); };
  OnLoad = [this](TkvoPlugin& s, TParamsList* p, int32_t& r) { kvoPluginLoad(s, p, r); };
  OnUnload = [this](TkvoPlugin& s, TParamsList* p, int32_t& r) { kvoPluginUnload(s, p, r); };
  OnSaveSettingsNow = [this](TkvoPlugin& s) { kvoPluginSaveSettingsNow(s); };
  OnLoadSettingsNow = [this](TkvoPlugin& s) { kvoPluginLoadSettingsNow(s); };
  OnShowOptionsDialog = [this](TkvoPlugin& s, TModuleTypes t, TParamsList* p, bool& ok) {
    kvoPluginShowOptionsDialog(s, t, p, ok);
  };
  // Raised once per block: a plain function, not a std::function; the filter role's calls go straight
  // to the filter with the rows the framework looked up.
  constexpr TOnProcessData::PlainHandler kHandler = [](void* self, TkvoPlugin& s, uint32_t id, TModuleTypes t,
                                                       TParamsList* data, TParamsList* device, void*& buffer,
                                                       int32_t& result) {
    static_cast<TaPlugin*>(self)->kvoPluginProcessData(s, id, t, data, device, buffer, result);
  };
  OnProcessData = TOnProcessData::Plain(kHandler, this);
  SetBlockProc(
      kHandler,
      [](void* self, TParamsList* data, TRowsParamsList* rows) {
        return static_cast<TaPlugin*>(self)->FFilter.ProcessData(data, rows);
      },
      this);
}

TaPlugin::~TaPlugin() = default;

void TaPlugin::AdoptSettingsForm(TfrmOption* form) {
  std::lock_guard guard(*this);
  if (form == FOptionsForm) return;
  delete FOptionsForm;
  FOptionsForm = form;
  if (FOptionsForm) {
    BuildItems(*FOptionsForm);
  } else {
    ClearItems();
  }
}

void TaPlugin::kvoPluginCreate(TObject&) {
  if (!Transl()) return;
  Transl()->ComponentProperties.Add("Columns");
  // The view reads a shown dialog's texts without the main lock: "LANGUAGE" passes it by. The walk
  // runs under the main lock, which guards the list.
  Transl()->LeaveOut = [this](const TComponent& component) {
    return std::find(FShownDialogs.begin(), FShownDialogs.end(), &component) != FShownDialogs.end();
  };
}

void TaPlugin::kvoPluginLoad(TkvoPlugin&, TParamsList*, int32_t&) {
  // The caption of the property store's message boxes.
  const std::string application = ApplicationName();
  Application().SetTitle(application.empty() ? Description : application);
  std::lock_guard guard(*this);
  ClearItems();
  // A repeated "LOAD" starts from the store again rather than from what an earlier load left.
  delete FOptionsForm;
  FOptionsForm = nullptr;
  FOptionsForm = Create<TfrmOption>(this);
  BuildItems(*FOptionsForm);
}

void TaPlugin::kvoPluginUnload(TkvoPlugin&, TParamsList*, int32_t&) {
  std::lock_guard guard(*this);
  delete FOptionsForm;
  FOptionsForm = nullptr;
  ClearItems();
}

void TaPlugin::kvoPluginSaveSettingsNow(TkvoPlugin&) {
  std::lock_guard guard(*this);
  if (FOptionsForm) SaveProperties(&FOptionsForm->Properties->Strings(), FOptionsForm, std::string());
}

void TaPlugin::kvoPluginLoadSettingsNow(TkvoPlugin&) {
  std::lock_guard guard(*this);
  if (!FOptionsForm) return;
  FOptionsForm->FormCreate(nullptr);
  BuildItems(*FOptionsForm);
}

void TaPlugin::kvoPluginShowOptionsDialog(TkvoPlugin&, TModuleTypes, TParamsList*, bool& success) {
  // Without a display nothing is created, so nothing is loaded, moved or saved.
  if (!view::CanShowDialogs()) return;
  // The dialog shows what was last stored, not the settings form's controls. It is one of this module's
  // components, whose list the main lock guards; it is shown without the lock.
  TfrmOption* form = nullptr;
  std::string language;
  {
    std::lock_guard guard(*this);
    form = Create<TfrmOption>(this);
    FShownDialogs.push_back(form);
    language = Language();
  }
  const int32_t result = view::ShowModal(*form);
  {
    std::lock_guard guard(*this);
    std::erase(FShownDialogs, form);
  }
  if (result == mrOk) {
    // A language that came while the dialog was shown reaches it now, as the new settings form.
    if (Language() != language) TranslateComponent(form);
    success = true;
    AdoptSettingsForm(form);
    return;
  }
  std::lock_guard guard(*this);
  delete form;
}

void TaPlugin::kvoPluginProcessData(TkvoPlugin&, uint32_t, TModuleTypes, TParamsList* data, TParamsList*,
                                    void*&, int32_t& result) {
  result = FFilter.ProcessData(data, ResultRows());
}

void RegisterDeadbandPlugin() {
  RegisterPluginClass(&CreatePluginOf<TaPlugin>);
}

}  // namespace kvo
