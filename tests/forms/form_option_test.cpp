// The deadband options dialog: its components, property map, creation, close, resize and key handling,
// and the filter items built from its controls.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "deadband/filter_main.h"
#include "deadband/settings_store.h"
#include "kvo/kvo_plugin.h"
#include "platform/registry.h"
#include "runtime/application.h"
#include "runtime/properties.h"
#include "support/scratch_store.h"

namespace kvo {
namespace {

constexpr int32_t kNone = -1;  // the component has no such property

// A loaded module whose settings live in a registry key of the test's own (on POSIX in a scratch
// folder; on Windows below Software\kvo-test-form, removed at the end). The module's own settings form is
// dropped, so the forms a test makes are the only ones.
class FormOption : public ::testing::Test {
 protected:
  void SetUp() override {
    TForm::SetDesktopSize(1920, 1080);
    key_path_ = store_.KeyPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
    TParamsList load;
    load.Add("RegistryPath", Variant::FromText(key_path_));
    ASSERT_EQ(plugin->ExecuteCommand("LOAD", &load), 0);
    plugin->AdoptSettingsForm(nullptr);
  }
  void TearDown() override {
    plugin.reset();
    TForm::SetDesktopSize(1024, 768);
  }
  void RemoveTestKeys() const { store_.RemoveKeys(); }
  // The test's key in the first registry root, the one the module writes to when it can.
  bool OpenKey(platform::RegistryKey* key) const {
    return platform::RegistryKey::Open(platform::RegistryRoot::kLocalMachine, key_path_, false, key, nullptr);
  }

  void AddParserItems(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      TParserItem item;
      item.Name = names[i];
      plugin->SetParserItem(static_cast<int32_t>(i), item);
    }
  }
  TfrmOption* NewForm() { return Create<TfrmOption>(plugin.get()); }

  testing::ScratchStore store_{"kvo-form", "kvo-test-form"};  // before the module, which goes first
  std::unique_ptr<TaPlugin> plugin{Create<TaPlugin>(nullptr)};
  std::string key_path_;
};

int32_t OrdOrNone(const TComponent& c, const char* name) {
  return IsPublishedProp(c, name) ? GetOrdProp(c, name) : kNone;
}

TEST_F(FormOption, EveryComponentHasItsDesignValues) {
  TfrmOption* form = NewForm();
  struct Row {
    std::string name, cls, parent;
    int32_t tag, help, left, top, width, height;
  };
  // The form's client area is 481 x 424 (its size less a border of 3 on each side).
  std::vector<Row> rows = {
      {"Label1", "TLabel", "frmOption", 0, 80, 0, 0, 481, 65},
      {"panPar", "TPanel", "frmOption", 0, 0, 0, 65, 481, 32},
      {"Label2", "TLabel", "panPar", 0, 0, 0, 0, 205, 26},
      {"comboRel", "TComboBox", "panPar", 9999, 0, 206, 4, 99, 21},
      {"gbDB", "TGroupBox", "frmOption", 0, 0, 0, 97, 481, 282},
      {"pBot", "TPanel", "frmOption", 0, 80, 0, 379, 481, 45},
      {"Bevel6", "TBevel", "pBot", 0, kNone, 0, 0, 481, 9},
      {"btnOK", "TButton", "pBot", 0, 0, 164, 16, 75, 25},
      {"btnCancel", "TButton", "pBot", 0, 0, 244, 16, 75, 25},
      {"HtmlHelp", "THtmlHelp", "", 9999, kNone, kNone, kNone, kNone, kNone},
      {"Properties", "TStrHolder", "", 9999, kNone, kNone, kNone, kNone, kNone},
  };
  const int32_t tops[] = {20, 48, 76, 104, 132, 160, 188, 216};
  for (int n = 1; n <= 8; ++n) {
    const std::string d = std::to_string(n);
    const int32_t top = tops[n - 1];
    rows.push_back({"var" + d, "TComboBox", "gbDB", 9999, 0, 10, top, 168, 21});
    rows.push_back({"type" + d, "TComboBox", "gbDB", n == 1 ? 0 : 9999, 0, 184, top, 159, 21});
    rows.push_back({"val" + d, "TRxSpinEdit", "gbDB", 9999, 0, 350, top, 109, 21});
  }
  EXPECT_EQ(form->ComponentCount(), static_cast<int32_t>(rows.size()));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TComponent* c = form->FindComponent(r.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->ClassName(), r.cls);
    EXPECT_EQ(c->Name(), r.name);
    EXPECT_EQ(OrdOrNone(*c, "Tag"), r.tag);
    EXPECT_EQ(OrdOrNone(*c, "HelpContext"), r.help);
    EXPECT_EQ(OrdOrNone(*c, "Left"), r.left);
    EXPECT_EQ(OrdOrNone(*c, "Top"), r.top);
    EXPECT_EQ(OrdOrNone(*c, "Width"), r.width);
    EXPECT_EQ(OrdOrNone(*c, "Height"), r.height);
    const auto* parent = IsPublishedProp(*c, "Parent") ? GetObjectProp<TComponent>(*c, "Parent") : nullptr;
    EXPECT_EQ(parent != nullptr ? parent->Name() : std::string(), r.parent);
  }
}

TEST_F(FormOption, TheWindowTextsAndControlSettingsAreThoseOfTheDesign) {
  TfrmOption* form = NewForm();
  EXPECT_EQ(form->Width(), 487);
  EXPECT_EQ(form->Height(), 430);
  EXPECT_EQ(form->BorderWidth(), 3);
  EXPECT_EQ(form->HelpContext(), 80);
  EXPECT_TRUE(form->KeyPreview);
  EXPECT_EQ(GetSetProp(*form, "BorderIcons"), "[biSystemMenu,biHelp]");
  EXPECT_EQ(form->Constraints().MinWidth, 370);
  EXPECT_EQ(form->Constraints().MinHeight, 430);
  EXPECT_EQ(form->Constraints().MaxHeight, 430);
  EXPECT_EQ(form->Constraints().MaxWidth, 0);
  EXPECT_EQ(form->ActiveControl(), form->btnCancel);
  const auto* font = GetObjectProp<TFont>(*form, "Font");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(GetStrProp(*font, "Name"), "MS Sans Serif");
  EXPECT_EQ(GetOrdProp(*font, "Height"), 11);

  EXPECT_EQ(
      form->Label1->Caption,
      "Specify one or more variables. If few deadband variables are used together then specify a "
      "relationship between them. The module will ignore any value falling within either deadband. Only "
      "those values falling outside all deadbands (or equal to the outermost) will be sent to a data "
      "export module.");
  EXPECT_TRUE(form->Label1->WordWrap);
  EXPECT_EQ(form->Label1->Align(), TAlign::alTop);
  EXPECT_EQ(form->Label2->Caption, "Relationship between variables");
  EXPECT_EQ(form->Label2->Layout, TTextLayout::tlCenter);
  EXPECT_TRUE(form->Label2->WordWrap);
  EXPECT_EQ(form->panPar->BevelOuter, TBevelCut::bvNone);
  EXPECT_EQ(form->pBot->BevelOuter, TBevelCut::bvNone);
  EXPECT_EQ(form->gbDB->Caption, "Deadband variables");
  EXPECT_EQ(form->gbDB->Align(), TAlign::alClient);
  EXPECT_EQ(form->pBot->Align(), TAlign::alBottom);
  EXPECT_EQ(form->Bevel6->Shape, TBevelShape::bsBottomLine);
  EXPECT_EQ(form->comboRel->Style(), TComboBoxStyle::csDropDownList);
  EXPECT_EQ(form->comboRel->Items().Text(), "AND\r\nOR\r\n");
  EXPECT_EQ(form->comboRel->ItemIndex(), 0);

  EXPECT_EQ(form->btnOK->Caption, "OK");
  EXPECT_EQ(form->btnOK->ModalResult, mrOk);
  EXPECT_FALSE(form->btnOK->Default);
  EXPECT_EQ(form->btnCancel->Caption, "Cancel");
  EXPECT_EQ(form->btnCancel->ModalResult, mrCancel);
  EXPECT_TRUE(form->btnCancel->Default);

  const TAnchors widening{TAnchorKind::akLeft, TAnchorKind::akTop, TAnchorKind::akRight};
  const TAnchors right{TAnchorKind::akTop, TAnchorKind::akRight};
  for (int n = 1; n <= 8; ++n) {
    const std::string d = std::to_string(n);
    SCOPED_TRACE(d);
    auto* var = dynamic_cast<TComboBox*>(form->FindComponent("var" + d));
    auto* type = dynamic_cast<TComboBox*>(form->FindComponent("type" + d));
    auto* val = dynamic_cast<TRxSpinEdit*>(form->FindComponent("val" + d));
    ASSERT_TRUE(var && type && val);
    EXPECT_EQ(var->Style(), TComboBoxStyle::csDropDown);
    EXPECT_EQ(var->Anchors(), widening);
    EXPECT_EQ(type->Style(), TComboBoxStyle::csDropDownList);
    EXPECT_EQ(type->Anchors(), right);
    EXPECT_EQ(type->ItemIndex(), -1);
    EXPECT_EQ(type->Items().Text(), "Absolute\r\nPercent\r\nTime limit (s)\r\nCount limit\r\n");
    EXPECT_EQ(val->Anchors(), right);
    EXPECT_EQ(val->ValueType(), TValueType::vtFloat);
    EXPECT_EQ(val->Decimals(), 6);
    EXPECT_EQ(val->Increment, 1.0);
    EXPECT_EQ(val->MinValue(), 0.0);
    EXPECT_EQ(val->MaxValue(), 0.0);
    EXPECT_EQ(val->Value(), 0.0);
    EXPECT_EQ(val->Text(), "0.000000");
  }
}

TEST_F(FormOption, TabOrderRunsThroughTheRowsThenTheButtonsThenTheRelationship) {
  TfrmOption* form = NewForm();
  EXPECT_EQ(form->gbDB->TabOrder(), 0);
  EXPECT_EQ(form->pBot->TabOrder(), 1);
  EXPECT_EQ(form->panPar->TabOrder(), 2);
  EXPECT_EQ(form->btnOK->TabOrder(), 0);
  EXPECT_EQ(form->btnCancel->TabOrder(), 1);
  int32_t expected = 0;
  for (int n = 1; n <= 8; ++n) {
    for (const char* prefix : {"var", "type", "val"}) {
      const auto* c = dynamic_cast<TWinControl*>(form->FindComponent(prefix + std::to_string(n)));
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(c->TabOrder(), expected++) << prefix << n;
    }
  }
}

TEST_F(FormOption, ThePropertyMapHoldsItsThirtyLinesInOrder) {
  TfrmOption* form = NewForm();
  const char* expected[] = {
      "Left,Left",
      "Top,Top",
      "Height,Height",
      "Width,Width",
      "",
      "var1.Text,Var1",
      "var2.Text,Var2",
      "var3.Text,Var3",
      "var4.Text,Var4",
      "var5.Text,Var5",
      "var6.Text,Var6",
      "var7.Text,Var7",
      "var8.Text,Var8",
      "type1.ItemIndex,Type1",
      "type2.ItemIndex,Type2",
      "type3.ItemIndex,Type3",
      "type4.ItemIndex,Type4",
      "type5.ItemIndex,Type5",
      "type6.ItemIndex,Type6",
      "type7.ItemIndex,Type7",
      "type8.ItemIndex,Type8",
      "val1.Value,Val1",
      "val2.Value,Val2",
      "val3.Value,Val3",
      "val4.Value,Val4",
      "val5.Value,Val5",
      "val6.Value,Val6",
      "val7.Value,Val7",
      "val8.Value,Val8",
      "comboRel.ItemIndex,Relationship",
  };
  const TStringList& map = form->Properties->Strings();
  ASSERT_EQ(map.Count(), 30);
  for (int32_t i = 0; i < 30; ++i)
    EXPECT_EQ(map[i], expected[i]) << i;
  EXPECT_EQ(GetObjectProp(*form->Properties, "Strings"), &map);
}

TEST_F(FormOption, CreationSetsCaptionAndHelpFileFromTheModule) {
  TfrmOption* form = NewForm();
  EXPECT_EQ(form->Caption, "Deadband " + plugin->Version());
  const std::string help = plugin->ModulePath() + "deadband.chm";
  EXPECT_EQ(form->HelpFile, help);
  EXPECT_EQ(form->HtmlHelp->ChmFile(), help);
  EXPECT_EQ(Application().HelpFile(), help);
}

TEST_F(FormOption, CreationFillsTheVariableListsSortedIgnoringCaseAndCopiesTheLists) {
  AddParserItems({"zeta", "Alpha", "beta", "Gamma", "alpha2"});
  TfrmOption* form = NewForm();
  for (int n = 1; n <= 8; ++n) {
    const auto* var = dynamic_cast<TComboBox*>(form->FindComponent("var" + std::to_string(n)));
    const auto* type = dynamic_cast<TComboBox*>(form->FindComponent("type" + std::to_string(n)));
    ASSERT_TRUE(var && type);
    EXPECT_EQ(var->Items().Text(), "Alpha\r\nalpha2\r\nbeta\r\nGamma\r\nzeta\r\n") << n;
    EXPECT_EQ(type->Items().Count(), 4) << n;
  }
}

TEST_F(FormOption, WithoutParserItemsTheVariableFieldsAcceptTypedNames) {
  TfrmOption* form = NewForm();
  auto* var4 = dynamic_cast<TComboBox*>(form->FindComponent("var4"));
  ASSERT_NE(var4, nullptr);
  EXPECT_EQ(var4->Items().Count(), 0);
  SetStrProp(*var4, "Text", "typed");
  EXPECT_EQ(var4->Text(), "typed");
}

// A load only opens the settings key: while nothing was ever saved there, the load fails.
TEST_F(FormOption, ALoadThatFailsKeepsTheDesignSizeAndCentresOnTheDesktop) {
  TfrmOption* form = NewForm();
  EXPECT_EQ(form->Width(), 487);
  EXPECT_EQ(form->Height(), 430);
  EXPECT_EQ(form->Left(), (1920 - 487) / 2);
  EXPECT_EQ(form->Top(), (1080 - 430) / 2);
  // A reload that fails centres the current size and keeps what the controls hold.
  form->SetBounds(5, 5, 600, 430);
  form->comboRel->SetItemIndex(1);
  form->FormCreate(nullptr);
  EXPECT_EQ(form->Width(), 600);
  EXPECT_EQ(form->Left(), (1920 - 600) / 2);
  EXPECT_EQ(form->comboRel->ItemIndex(), 1);
}

TEST_F(FormOption, ALoadFindsWhatASaveStored) {
  TfrmOption* first = NewForm();
  first->SetBounds(40, 50, 520, 430);
  SetStrProp(*first->FindComponent("var2"), "Text", "Flow");
  SetOrdProp(*first->FindComponent("type2"), "ItemIndex", 1);
  SetFloatProp(*first->FindComponent("val2"), "Value", 0.125);
  first->comboRel->SetItemIndex(1);
  ASSERT_TRUE(plugin->SaveProperties(&first->Properties->Strings(), first, std::string()));
  delete first;

  TfrmOption* form = NewForm();
  EXPECT_EQ(form->Left(), 40);
  EXPECT_EQ(form->Top(), 50);
  EXPECT_EQ(form->Width(), 520);
  EXPECT_EQ(GetStrProp(*form->FindComponent("var2"), "Text"), "Flow");
  EXPECT_EQ(GetOrdProp(*form->FindComponent("type2"), "ItemIndex"), 1);
  EXPECT_EQ(GetFloatProp(*form->FindComponent("val2"), "Value"), 0.125);
  EXPECT_EQ(form->comboRel->ItemIndex(), 1);
}

// A host program's stored settings and the dialog's are one set of keys: each reads every key the
// other wrote, names with their blanks intact.
TEST_F(FormOption, TheHostsStoredSettingsAndTheDialogReadEachOthersKeys) {
  const SettingsLocation location{"", "", key_path_};
  StoredDeadbandSettings written;
  for (int n = 1; n <= kDeadbandSlotCount; ++n)
    written.slots[static_cast<size_t>(n - 1)] = StoredSlot{" v " + std::to_string(n), (n - 1) % 4, n + 0.25};
  written.relationship = 1;
  SaveStoredSettings(location, written);

  TfrmOption* form = NewForm();
  EXPECT_EQ(form->RelationshipIndex(), 1);
  for (int n = 1; n <= kDeadbandSlotCount; ++n) {
    const StoredSlot& stored = written.slots[static_cast<size_t>(n - 1)];
    SlotValues slot;
    ASSERT_TRUE(form->Slot(n, &slot));
    EXPECT_EQ(slot.var_text, stored.name) << n;
    EXPECT_EQ(slot.type_index, stored.type) << n;
    EXPECT_EQ(slot.val_number, stored.band) << n;
    // Changed in the dialog for the way back.
    SetStrProp(*form->FindComponent("var" + std::to_string(n)), "Text", "w " + std::to_string(n) + " ");
    SetOrdProp(*form->FindComponent("type" + std::to_string(n)), "ItemIndex", n % 4);
    SetFloatProp(*form->FindComponent("val" + std::to_string(n)), "Value", -n - 0.5);
  }
  form->comboRel->SetItemIndex(0);
  ASSERT_TRUE(plugin->SaveProperties(&form->Properties->Strings(), form, std::string()));

  StoredDeadbandSettings read = written;
  ASSERT_TRUE(LoadStoredSettings(location, &read));
  EXPECT_EQ(read.relationship, 0);
  for (int n = 1; n <= kDeadbandSlotCount; ++n) {
    const StoredSlot& slot = read.slots[static_cast<size_t>(n - 1)];
    EXPECT_EQ(slot.name, "w " + std::to_string(n) + " ") << n;
    EXPECT_EQ(slot.type, n % 4) << n;
    EXPECT_EQ(slot.band, -n - 0.5) << n;
  }
}

TEST_F(FormOption, AReloadKeepsTheCurrentSizeListsAndRelationship) {
  platform::RegistryKey key;
  ASSERT_TRUE(
      platform::RegistryKey::Open(platform::RegistryRoot::kLocalMachine, key_path_, true, &key, nullptr));
  TfrmOption* form = NewForm();
  EXPECT_EQ(form->Left(), 314) << "a key without values loads nothing and moves nothing";
  form->SetBounds(5, 5, 600, 430);
  form->comboRel->SetItemIndex(1);
  AddParserItems({"late"});
  form->FormCreate(nullptr);
  EXPECT_EQ(form->Width(), 600);
  EXPECT_EQ(form->Left(), 5);
  EXPECT_EQ(form->comboRel->ItemIndex(), 1);
  const auto* var1 = dynamic_cast<TComboBox*>(form->FindComponent("var1"));
  EXPECT_EQ(var1->Items().Count(), 0);
}

TEST_F(FormOption, ARelationshipThatCannotBeSelectedBecomesAnd) {
  for (int32_t stored : {-1, 2, 7}) {
    TfrmOption* form = NewForm();
    SetOrdProp(*form->comboRel, "ItemIndex", stored);
    EXPECT_EQ(form->comboRel->ItemIndex(), -1) << stored;
    form->FormCreate(nullptr);
    EXPECT_EQ(form->comboRel->ItemIndex(), 0) << stored;
    EXPECT_EQ(form->comboRel->Text(), "AND") << stored;
    delete form;
  }
}

TEST_F(FormOption, WithoutAModuleOwnerTheFormKeepsItsDesignPosition) {
  TComponent owner(nullptr);
  TfrmOption* form = Create<TfrmOption>(&owner);
  EXPECT_EQ(form->Left(), 314);
  EXPECT_EQ(form->Top(), 184);
  EXPECT_EQ(form->Caption, "");
}

// The property store's message boxes are captioned with the host's application name, else the module's.
TEST_F(FormOption, LoadNamesTheApplicationAfterTheHostOrElseTheModule) {
  EXPECT_EQ(Application().Title(), "Deadband");
  std::unique_ptr<TaPlugin> other{Create<TaPlugin>(nullptr)};
  TParamsList load;
  load.Add("RegistryPath", Variant::FromText(key_path_));
  load.Add("ApplicationName", Variant::FromText("Data Logger"));
  ASSERT_EQ(other->ExecuteCommand("LOAD", &load), 0);
  EXPECT_EQ(Application().Title(), "Data Logger");
}

TEST_F(FormOption, TwoFormsOfOneModuleGetDistinctNames) {
  TfrmOption* settings = NewForm();
  TfrmOption* dialog = NewForm();
  EXPECT_EQ(settings->Name(), "frmOption");
  EXPECT_EQ(dialog->Name(), "frmOption_1");
}

TEST(HalfRoundedToEven, HalvesGoToTheEvenNeighbour) {
  struct Case {
    int32_t width, half;
  };
  const Case cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {5, 2}, {7, 4}, {481, 240}, {482, 241}, {483, 242}};
  for (const Case& c : cases)
    EXPECT_EQ(HalfRoundedToEven(c.width), c.half) << c.width;
}

TEST_F(FormOption, ResizingKeepsTheHeightAMinimumWidthAndTheRightDistances) {
  struct Case {
    int32_t set_width, set_height;
    int32_t width;
    int32_t ok_left;  // half the panel width (the form's less 6), rounded to even, less 77
  };
  const Case cases[] = {
      {600, 500, 600, 220}, {300, 430, 370, 105}, {487, 100, 487, 163},
      {488, 430, 488, 164}, {489, 430, 489, 165}, {1000, 10, 1000, 420},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set_width);
    TfrmOption* form = NewForm();
    form->SetWidth(800);  // so that every case is a change of size
    form->SetBounds(form->Left(), form->Top(), c.set_width, c.set_height);
    EXPECT_EQ(form->Height(), 430);
    EXPECT_EQ(form->Width(), c.width);
    const int32_t grow = c.width - 487;
    EXPECT_EQ(form->gbDB->Width(), 481 + grow);
    EXPECT_EQ(form->gbDB->Height(), 282);
    for (int n = 1; n <= 8; ++n) {
      const auto* var = dynamic_cast<TControl*>(form->FindComponent("var" + std::to_string(n)));
      const auto* type = dynamic_cast<TControl*>(form->FindComponent("type" + std::to_string(n)));
      const auto* val = dynamic_cast<TControl*>(form->FindComponent("val" + std::to_string(n)));
      EXPECT_EQ(var->Left(), 10);
      EXPECT_EQ(var->Width(), 168 + grow);
      EXPECT_EQ(form->gbDB->Width() - type->Left() - type->Width(), 481 - 343);
      EXPECT_EQ(form->gbDB->Width() - val->Left() - val->Width(), 481 - 459);
      EXPECT_EQ(type->Width(), 159);
      EXPECT_EQ(val->Width(), 109);
    }
    EXPECT_EQ(form->btnOK->Left(), c.ok_left);
    EXPECT_EQ(form->btnCancel->Left(), c.ok_left + 79);
    EXPECT_EQ(form->comboRel->Left(), 206);
    delete form;
  }
}

TEST_F(FormOption, ReleasingEscapeClicksCancelAndOtherKeysDoNothing) {
  struct Case {
    uint16_t key;
    int32_t result;
    bool visible;
  };
  const Case cases[] = {{27, mrCancel, false}, {13, mrNone, true}, {'A', mrNone, true}};
  for (const Case& c : cases) {
    TfrmOption* form = NewForm();
    uint16_t key = c.key;
    form->KeyUp(key, TShiftState{});
    EXPECT_EQ(form->ModalResult, c.result) << c.key;
    EXPECT_EQ(form->Visible(), c.visible) << c.key;
    delete form;
  }
}

TEST_F(FormOption, ClosingShortensTheMapToTheWindowKeysUnlessConfirmed) {
  struct Case {
    const char* how;
    int32_t result;
    int32_t lines_after;
  };
  const Case cases[] = {{"OK", mrOk, 30}, {"Cancel", mrCancel, 4}, {"closed", mrNone, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    TfrmOption* form = NewForm();
    form->ModalResult = c.result;
    form->Close();
    const TStringList& map = form->Properties->Strings();
    ASSERT_EQ(map.Count(), c.lines_after);
    EXPECT_EQ(map[3], "Width,Width");
    if (c.lines_after == 4) {
      EXPECT_EQ(map.Text(), "Left,Left\r\nTop,Top\r\nHeight,Height\r\nWidth,Width\r\n");
    }
    delete form;
  }
}

TEST_F(FormOption, ClosingLeavesAMapWithoutTheWidthLineAsItIs) {
  TfrmOption* form = NewForm();
  form->Properties->Strings().SetText("var1.Text,Var1\r\nTop,Top");
  form->ModalResult = mrCancel;
  form->Close();
  EXPECT_EQ(form->Properties->Strings().Text(), "var1.Text,Var1\r\nTop,Top\r\n");
}

TEST_F(FormOption, ClosingStoresEveryKeyAfterOkAndOnlyTheWindowOtherwise) {
  struct Case {
    const char* how;
    int32_t result;
    bool slots_stored;
  };
  const Case cases[] = {{"Cancel", mrCancel, false}, {"OK", mrOk, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    RemoveTestKeys();
    TfrmOption* form = NewForm();
    form->SetBounds(11, 22, 500, 430);
    SetStrProp(*form->FindComponent("var1"), "Text", "level");
    form->ModalResult = c.result;
    form->Close();
    platform::RegistryKey key;
    ASSERT_TRUE(OpenKey(&key));
    uint32_t left = 0;
    EXPECT_TRUE(key.ReadDword("Left", &left));
    EXPECT_EQ(left, 11u);
    EXPECT_TRUE(key.ValueExists("Width"));
    EXPECT_EQ(key.ValueExists("Var1"), c.slots_stored);
    EXPECT_EQ(key.ValueExists("Relationship"), c.slots_stored);
    delete form;
  }
}

// --- the form as filter settings ---

void SetSlot(TfrmOption& form, int n, const char* name, int32_t type, double band) {
  const std::string d = std::to_string(n);
  SetStrProp(*form.FindComponent("var" + d), "Text", name);
  SetOrdProp(*form.FindComponent("type" + d), "ItemIndex", type);
  SetFloatProp(*form.FindComponent("val" + d), "Value", band);
}

TEST_F(FormOption, ItemsAreBuiltFromTheActiveSlotsInSlotOrder) {
  TfrmOption* form = NewForm();
  SetSlot(*form, 1, "a", 0, -1.5);
  SetSlot(*form, 2, "no type", -1, 1);
  SetSlot(*form, 3, "  Flow RATE \t", 1, 2.5);
  SetSlot(*form, 4, "   ", 2, 1);
  SetSlot(*form, 5, "b", 3, 0);
  form->comboRel->SetItemIndex(1);
  plugin->BuildItems(*form);

  struct Expected {
    const char* name;
    TDeadBandType type;
    double band;
  };
  const Expected expected[] = {{"a", TDeadBandType::dbAbsolute, -1.5},
                               {"flow rate", TDeadBandType::dbPercent, 2.5},
                               {"b", TDeadBandType::dbCountLimit, 0}};
  const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
  ASSERT_EQ(items.size(), std::size(expected));
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].VarName, expected[i].name) << i;
    EXPECT_EQ(items[i].BandType, expected[i].type) << i;
    EXPECT_EQ(items[i].Band, expected[i].band) << i;
  }
  EXPECT_EQ(plugin->Filter().Relationship(), 1);
}

TEST_F(FormOption, ADesignFormGivesNoItemsAndRelationshipAnd) {
  TfrmOption* form = NewForm();
  SetSlot(*form, 1, "x", 0, 1);
  plugin->BuildItems(*form);
  ASSERT_EQ(plugin->Filter().Items().size(), 1u);
  delete form;
  TfrmOption* fresh = NewForm();
  plugin->BuildItems(*fresh);
  EXPECT_TRUE(plugin->Filter().Items().empty());
  EXPECT_EQ(plugin->Filter().Relationship(), 0);
}

TEST_F(FormOption, SlotsFollowTheControlsFoundByNameAndTheirKinds) {
  TfrmOption* form = NewForm();
  for (int n = 6; n <= 8; ++n)
    SetSlot(*form, n, ("v" + std::to_string(n)).c_str(), 0, 4);
  delete form->FindComponent("val6");  // no band editor: the slot is skipped
  delete form->FindComponent("var7");  // a name field that is no combo box: skipped
  auto* not_a_combo = new TRxSpinEdit(form);
  not_a_combo->SetName("var7");
  delete form->FindComponent("type7");  // nor does a type field that is no combo box choose a type
  auto* type_not_a_combo = new TRxSpinEdit(form);
  type_not_a_combo->SetName("type7");
  delete form->FindComponent("val8");  // a band editor holding text: the text is read as the band
  auto* text_band = new TComboBox(form);
  text_band->SetName("val8");
  text_band->SetText(" 3.5 ");

  SlotValues slot;
  ASSERT_TRUE(form->Slot(6, &slot));
  EXPECT_TRUE(slot.names_variable && slot.selects_type);
  EXPECT_FALSE(slot.val_exists);
  slot = {};
  ASSERT_TRUE(form->Slot(7, &slot));
  EXPECT_FALSE(slot.names_variable);
  EXPECT_FALSE(slot.selects_type);
  EXPECT_TRUE(slot.val_exists);
  slot = {};
  ASSERT_TRUE(form->Slot(8, &slot));
  EXPECT_TRUE(slot.val_exists && slot.val_is_text);
  EXPECT_EQ(slot.val_text, " 3.5 ");
  slot = {};
  EXPECT_FALSE(form->Slot(0, &slot));
  EXPECT_FALSE(form->Slot(9, &slot));

  plugin->BuildItems(*form);
  const std::vector<TDeadBandListItem> items = plugin->Filter().Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].VarName, "v8");
  EXPECT_EQ(items[0].Band, 3.5);
}

TEST_F(FormOption, ASlotWithoutAnyControlIsReportedMissing) {
  TfrmOption* form = NewForm();
  for (const char* name : {"var2", "type2", "val2"})
    delete form->FindComponent(name);
  SlotValues slot;
  EXPECT_FALSE(form->Slot(2, &slot));
  EXPECT_TRUE(form->Slot(3, &slot));
}

}  // namespace
}  // namespace kvo
