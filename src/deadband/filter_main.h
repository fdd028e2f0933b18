// TfrmOption: the deadband module's options dialog as a form model, and at the same time the holder
// of the module's current filter settings (a second instance that is never shown). Its controls carry
// the eight slots (var<n>, type<n>, val<n>) and the relationship (comboRel); its property map
// (`Properties`) names the control properties that the module's property store loads and saves; and it
// offers those controls to the filter as DeadbandSettings, so the filter's items are built from it.
//
// The form is made with Create<TfrmOption>(owner), owner the plug-in module component (TkvoPlugin or a
// descendant), whose description, version, folder, parser items, translator and property store the
// creation handler uses. Without such an owner the form keeps its design values.
//
// Thread contract: a form is used by one thread at a time; as settings source it is read by
// DeadbandFilter::BuildItems under the module's main lock, and must not change meanwhile.
#pragma once

#include <cstdint>

#include "deadband/deadband_settings.h"
#include "forms/controls.h"
#include "forms/form.h"
#include "forms/nonvisual.h"

namespace kvo {

class TkvoPlugin;

class TfrmOption : public TForm, public DeadbandSettings {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TfrmOption(TComponent* owner);
  ~TfrmOption() override;

  // Fills the lists and caption (with a sender only), then loads the stored settings; with no sender it
  // reloads a settings form. Never raises.
  void FormCreate(TObject* sender);
  // Saves the settings: all of them after OK, only the window's position and size otherwise. When the
  // settings confirmed with OK cannot be saved, the store's error is shown and `action` becomes caNone,
  // so the dialog stays open.
  void FormClose(TObject& sender, TCloseAction& action);
  // Escape clicks Cancel.
  void FormKeyUp(TObject& sender, uint16_t& key, TShiftState shift);
  // Centres the two buttons on the bottom panel.
  void pBotResize(TObject& sender);

  // DeadbandSettings: the relationship from comboRel, the slots from the controls found by name.
  int32_t RelationshipIndex() const override;
  bool Slot(int n, SlotValues* out) const override;

  TLabel* Label1 = nullptr;
  TPanel* panPar = nullptr;
  TLabel* Label2 = nullptr;
  TComboBox* comboRel = nullptr;
  TGroupBox* gbDB = nullptr;
  TPanel* pBot = nullptr;
  TBevel* Bevel6 = nullptr;
  TButton* btnOK = nullptr;
  TButton* btnCancel = nullptr;
  THtmlHelp* HtmlHelp = nullptr;
  TStrHolder* Properties = nullptr;

 private:
  TkvoPlugin* Module() const noexcept;
  void btnClick(TObject& sender);
};

// Half of `width` rounded to the nearest integer, halves to the even neighbour.
int32_t HalfRoundedToEven(int32_t width) noexcept;

}  // namespace kvo
