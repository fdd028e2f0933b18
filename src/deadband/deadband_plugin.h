// TaPlugin: the deadband module's plug-in data module. It configures the plug-in component (description,
// log title, module type "filter", minimum host version 3.6) and handles its events: the data handler
// filters each block through the instance's DeadbandFilter; load and unload create and free the settings
// form (a TfrmOption that is never shown, whose controls hold the settings and whose creation loads them
// from the store) and build and free the items; the options dialog shows a new TfrmOption through the
// view and, confirmed with OK, makes it the settings form.
//
// Thread contract: as TkvoPlugin. The items and the relationship live in the filter under its item lock;
// the settings form is created, replaced, reloaded and destroyed only under the instance's main lock
// (Lock/Unlock), by the load, unload and settings events. A dialog on screen belongs to the view's thread
// until it ends: translations leave it out meanwhile.
#pragma once

#include <memory>
#include <vector>

#include "deadband/deadband_filter.h"
#include "deadband/deadband_settings.h"
#include "deadband/filter_main.h"
#include "plugin/plugin_component.h"

namespace kvo {

class TaPlugin : public TkvoPlugin {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TaPlugin(TParamsList* parameters);
  ~TaPlugin() override;

  DeadbandFilter& Filter() { return FFilter; }

  // Rebuilds the items and the relationship from `settings`.
  void BuildItems(const DeadbandSettings& settings) { FFilter.BuildItems(settings); }
  void ClearItems() { FFilter.ClearItems(); }
  void ResetItems() { FFilter.ResetItems(); }

  // The settings form; null before "LOAD" and after "UNLOAD". REQUIRES: the main lock is held while the
  // form is used.
  TfrmOption* SettingsForm() const { return FOptionsForm; }
  // Makes `form` (owned by this instance) the settings form in place of the current one, which is
  // destroyed, and builds the items from it. For the options dialog confirmed with OK.
  void AdoptSettingsForm(TfrmOption* form);

 private:
  void kvoPluginCreate(TObject& sender);
  void kvoPluginLoad(TkvoPlugin& sender, TParamsList* parameters, int32_t& result);
  void kvoPluginUnload(TkvoPlugin& sender, TParamsList* parameters, int32_t& result);
  void kvoPluginSaveSettingsNow(TkvoPlugin& sender);
  void kvoPluginLoadSettingsNow(TkvoPlugin& sender);
  void kvoPluginShowOptionsDialog(TkvoPlugin& sender, TModuleTypes call_module_type, TParamsList* parameters,
                                  bool& success);
  void kvoPluginProcessData(TkvoPlugin& sender, uint32_t data_source_id, TModuleTypes call_module_type,
                            TParamsList* data, TParamsList* device, void*& in_out_binary_buffer,
                            int32_t& result);

  DeadbandFilter FFilter;
  TfrmOption* FOptionsForm = nullptr;      // guarded by the main lock; owned as a component
  std::vector<TfrmOption*> FShownDialogs;  // guarded by the main lock: the dialogs on screen now
};

// Makes TaPlugin the class of the module's instances. Called once by the module's start-up code.
void RegisterDeadbandPlugin();

}  // namespace kvo
