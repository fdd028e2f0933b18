// The options dialog's components, its handlers, and its view as filter settings.
#include "deadband/filter_main.h"

#include <algorithm>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "deadband/settings_table.h"
#include "platform/ui.h"
#include "plugin/plugin_component.h"
#include "runtime/application.h"
#include "runtime/properties.h"

namespace kvo {
namespace {

constexpr int32_t kNoTranslation = 9999;
constexpr int32_t kHelpContext = 80;
constexpr int32_t kFormHeight = 430;
constexpr int32_t kFormMinWidth = 370;
constexpr int32_t kEditHeight = 21;

constexpr std::string_view kIntro =
    "Specify one or more variables. If few deadband variables are used together then specify a relationship "
    "between them. The module will ignore any value falling within either deadband. Only those values "
    "falling "
    "outside all deadbands (or equal to the outermost) will be sent to a data export module.";

template <typename C>
C* Make(TComponent* owner, TWinControl* parent, std::string_view name, int32_t left, int32_t top,
        int32_t width, int32_t height) {
  C* control = new C(owner);
  control->SetName(name);
  control->SetBounds(left, top, width, height);
  control->SetParent(parent);
  return control;
}

void FillMap(TStrings& map) {
  // The same lines for every form: made once.
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> all{"Left,Left", "Top,Top", "Height,Height", "Width,Width", ""};
    for (const SettingLine& line : SettingLines())
      all.push_back(PropertyMapLine(line));
    return all;
  }();
  for (const std::string& line : lines)
    map.Add(line);
}

}  // namespace

constinit const TClassInfo TfrmOption::StaticClass{"TfrmOption", &TForm::StaticClass};

int32_t HalfRoundedToEven(int32_t width) noexcept {
  const int32_t half = width / 2;
  if (width % 2 == 0) return half;
  // An exact half: the even one of the two neighbours (truncation went towards zero).
  const int32_t other = width > 0 ? half + 1 : half - 1;
  return half % 2 == 0 ? half : other;
}

TfrmOption::TfrmOption(TComponent* owner) : TForm(owner) {
  // A second instance with the same owner (the dialog beside the settings form) takes the next free
  // name, as forms made at run time do.
  std::string name = "frmOption";
  for (int i = 1; owner != nullptr && owner->FindComponent(name) != nullptr; ++i)
    name = "frmOption_" + std::to_string(i);
  SetName(name);
  SetBounds(314, 184, 487, kFormHeight);
  Constraints().MinHeight = kFormHeight;
  Constraints().MaxHeight = kFormHeight;
  Constraints().MinWidth = kFormMinWidth;
  SetBorderWidth(3);
  BorderIcons = TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biHelp};
  KeyPreview = true;
  SetHelpContext(kHelpContext);
  Font().Name = "MS Sans Serif";
  Font().Height = 11;

  Label1 = Make<TLabel>(this, this, "Label1", 0, 0, ClientWidth(), 65);
  Label1->SetAlign(TAlign::alTop);
  Label1->WordWrap = true;
  Label1->SetHelpContext(kHelpContext);
  Label1->Caption = kIntro;

  panPar = Make<TPanel>(this, this, "panPar", 0, 65, ClientWidth(), 32);
  panPar->SetAlign(TAlign::alTop);
  panPar->BevelOuter = TBevelCut::bvNone;
  Label2 = Make<TLabel>(this, panPar, "Label2", 0, 0, 205, 26);
  Label2->WordWrap = true;
  Label2->Layout = TTextLayout::tlCenter;
  Label2->Caption = "Relationship between variables";
  comboRel = Make<TComboBox>(this, panPar, SettingControl(DeadbandSetting::kRelationship, 0), 206, 4, 99,
                             kEditHeight);
  comboRel->SetTag(kNoTranslation);
  comboRel->SetStyle(TComboBoxStyle::csDropDownList);
  for (std::string_view caption : kRelationshipCaptions)
    comboRel->Items().Add(std::string(caption));
  comboRel->SetItemIndex(0);

  gbDB = Make<TGroupBox>(this, this, "gbDB", 0, 97, ClientWidth(), ClientHeight() - 97 - 45);
  gbDB->SetAlign(TAlign::alClient);
  gbDB->Caption = "Deadband variables";
  const TAnchors right_top{TAnchorKind::akTop, TAnchorKind::akRight};
  for (int n = 1; n <= kDeadbandSlotCount; ++n) {
    const int32_t top = 20 + 28 * (n - 1);
    auto* var =
        Make<TComboBox>(this, gbDB, SettingControl(DeadbandSetting::kVar, n), 10, top, 168, kEditHeight);
    var->SetTag(kNoTranslation);
    var->SetAnchors(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop, TAnchorKind::akRight});
    auto* type =
        Make<TComboBox>(this, gbDB, SettingControl(DeadbandSetting::kType, n), 184, top, 159, kEditHeight);
    type->SetStyle(TComboBoxStyle::csDropDownList);
    type->SetAnchors(right_top);
    // type1 keeps its texts translatable: the copies the others get are the translated names.
    if (n == 1) {
      for (std::string_view caption : kDeadbandTypeCaptions)
        type->Items().Add(std::string(caption));
    } else {
      type->SetTag(kNoTranslation);
    }
    auto* val =
        Make<TRxSpinEdit>(this, gbDB, SettingControl(DeadbandSetting::kVal, n), 350, top, 109, kEditHeight);
    val->SetTag(kNoTranslation);
    val->SetAnchors(right_top);
    val->SetValueType(TValueType::vtFloat);
    val->SetDecimals(6);
    val->Increment = 1.0;
  }

  pBot = Make<TPanel>(this, this, "pBot", 0, ClientHeight() - 45, ClientWidth(), 45);
  pBot->SetAlign(TAlign::alBottom);
  pBot->BevelOuter = TBevelCut::bvNone;
  pBot->SetHelpContext(kHelpContext);
  Bevel6 = Make<TBevel>(this, pBot, "Bevel6", 0, 0, pBot->ClientWidth(), 9);
  Bevel6->SetAlign(TAlign::alTop);
  Bevel6->Shape = TBevelShape::bsBottomLine;
  btnOK = Make<TButton>(this, pBot, "btnOK", 164, 16, 75, 25);
  btnOK->Caption = "OK";
  btnOK->ModalResult = mrOk;
  btnCancel = Make<TButton>(this, pBot, "btnCancel", 244, 16, 75, 25);
  btnCancel->Caption = "Cancel";
  btnCancel->ModalResult = mrCancel;
  btnCancel->Default = true;

  HtmlHelp = new THtmlHelp(this);
  HtmlHelp->SetName("HtmlHelp");
  HtmlHelp->SetTag(kNoTranslation);
  Properties = new TStrHolder(this);
  Properties->SetName("Properties");
  Properties->SetTag(kNoTranslation);
  FillMap(Properties->Strings());

  // The rows first, then the buttons, then the relationship.
  gbDB->SetTabOrder(0);
  pBot->SetTabOrder(1);
  panPar->SetTabOrder(2);
  SetActiveControl(btnCancel);

  // Assigned last: the buttons keep their design places until the panel is resized.
  OnCreate = [this](TObject& sender) { FormCreate(&sender); };
  OnClose = [this](TObject& sender, TCloseAction& action) { FormClose(sender, action); };
  OnKeyUp = [this](TObject& sender, uint16_t& key, TShiftState shift) { FormKeyUp(sender, key, shift); };
  pBot->OnResize = [this](TObject& sender) { pBotResize(sender); };
  btnOK->OnClick = [this](TObject& sender) { btnClick(sender); };
  btnCancel->OnClick = [this](TObject& sender) { btnClick(sender); };
}

TfrmOption::~TfrmOption() {
  // The handlers refer to this class's members: the controls go while they exist.
  DestroyComponents();
}

TkvoPlugin* TfrmOption::Module() const noexcept {
  return dynamic_cast<TkvoPlugin*>(Owner());
}

void TfrmOption::FormCreate(TObject* sender) {
  try {
    TkvoPlugin* module = Module();
    if (module == nullptr) return;
    if (sender != nullptr) {
      Caption = module->Description + " " + module->Version();
      const std::string help_file = module->ModulePath() + "deadband.chm";
      Application().SetHelpFile(help_file);
      HtmlHelp->SetChmFile(help_file);
      HelpFile = help_file;

      module->TranslateComponent(this);

      auto* var1 = dynamic_cast<TComboBox*>(FindComponent(SettingControl(DeadbandSetting::kVar, 1)));
      auto* type1 = dynamic_cast<TComboBox*>(FindComponent(SettingControl(DeadbandSetting::kType, 1)));
      if (var1 != nullptr) {
        var1->Items().Clear();
        for (const std::string& name : module->Items().Names())
          var1->Items().Add(name);
        var1->Items().SetSorted(true);
      }
      for (int n = 2; n <= kDeadbandSlotCount; ++n) {
        auto* var = dynamic_cast<TComboBox*>(FindComponent(SettingControl(DeadbandSetting::kVar, n)));
        if (var != nullptr && var1 != nullptr) var->Items().Assign(var1->Items());
        auto* type = dynamic_cast<TComboBox*>(FindComponent(SettingControl(DeadbandSetting::kType, n)));
        if (type != nullptr && type1 != nullptr) type->Items().Assign(type1->Items());
      }
    }

    const int32_t width = Width();
    const int32_t height = Height();
    if (module->LoadProperties(&Properties->Strings(), this, std::string())) {
      Position = TPosition::poDesigned;
    } else {
      SetBounds(Left(), Top(), width, height);
      // No stored place: the view centres the dialog on the screen it opens on.
      CentreOnDesktop();
      Position = TPosition::poScreenCenter;
    }
    if (comboRel->ItemIndex() < 0) comboRel->SetItemIndex(0);
  } catch (...) {
    // The dialog opens with whatever it reached.
  }
}

void TfrmOption::FormClose(TObject&, TCloseAction& action) {
  TkvoPlugin* module = Module();
  if (module == nullptr) return;
  const bool confirmed = ModalResult == mrOk;
  if (!confirmed) {
    // Only the window's position and size survive a dialog that was not confirmed.
    std::string text = Properties->Strings().Text();
    constexpr std::string_view kLast = "Width,Width";
    const size_t at = text.find(kLast);
    if (at != std::string::npos) {
      text.resize(std::min(text.size(), at + kLast.size() + 1));
      Properties->Strings().SetText(text);
    }
  }
  std::string error;
  bool saved = false;
  try {
    saved = module->SaveProperties(&Properties->Strings(), this, std::string(), &error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  // Only the window's place was lost: the dialog still closes. Settings the user confirmed are not
  // dropped silently: the dialog stays open with them, to retry or cancel.
  if (saved || !confirmed) return;
  if (error.empty()) error = "The settings could not be saved.";
  const std::string caption = Application().Title();
  platform::ShowMessageBox(error.c_str(), caption.c_str(), platform::MessageIcon::kError);
  action = TCloseAction::caNone;
}

void TfrmOption::FormKeyUp(TObject&, uint16_t& key, TShiftState) {
  if (key == kKeyEscape) btnCancel->Click();
}

void TfrmOption::pBotResize(TObject&) {
  btnOK->SetLeft(HalfRoundedToEven(pBot->ClientWidth()) - btnOK->Width() - 2);
  btnCancel->SetLeft(btnOK->Left() + btnOK->Width() + 4);
}

void TfrmOption::btnClick(TObject&) {
  SetVisible(false);
}

int32_t TfrmOption::RelationshipIndex() const {
  return comboRel->ItemIndex();
}

bool TfrmOption::Slot(int n, SlotValues* out) const {
  if (n < 1 || n > kDeadbandSlotCount || out == nullptr) return false;
  TComponent* var = FindComponent(SettingControl(DeadbandSetting::kVar, n));
  TComponent* type = FindComponent(SettingControl(DeadbandSetting::kType, n));
  TComponent* val = FindComponent(SettingControl(DeadbandSetting::kVal, n));
  if (var == nullptr && type == nullptr && val == nullptr) return false;

  // Only combo boxes name a variable or choose a type: another control under such a name gives nothing.
  if (auto* combo = dynamic_cast<TComboBox*>(var)) {
    out->names_variable = true;
    out->var_text = combo->Text();
  }
  if (auto* combo = dynamic_cast<TComboBox*>(type)) {
    out->selects_type = true;
    out->type_index = combo->ItemIndex();
  }
  out->val_exists = val != nullptr;
  if (auto* spin = dynamic_cast<TRxSpinEdit*>(val)) {
    out->val_number = spin->Value();
  } else if (val != nullptr) {
    // Any other editor: its published text, read as a band.
    out->val_is_text = true;
    if (IsPublishedProp(*val, "Text")) out->val_text = GetStrProp(*val, "Text");
  }
  return true;
}

}  // namespace kvo
