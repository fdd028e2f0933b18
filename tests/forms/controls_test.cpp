// Layout, selection and value rules of the dialog controls, and their published properties by name.
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/nonvisual.h"
#include "runtime/properties.h"
#include "runtime/runtime_errors.h"

namespace kvo {
namespace {

struct Bounds {
  int32_t left, top, width, height;
  bool operator==(const Bounds&) const = default;
};

Bounds BoundsOf(const TControl& c) {
  return {c.Left(), c.Top(), c.Width(), c.Height()};
}

std::ostream& operator<<(std::ostream& os, const Bounds& b) {
  return os << "(" << b.left << "," << b.top << " " << b.width << "x" << b.height << ")";
}

// A 400 x 300 form (client 400 x 300: no border) that owns everything made on it.
std::unique_ptr<TForm> MakeForm() {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 400, 300);
  return form;
}

template <typename C>
C* Child(TComponent& owner, TWinControl& parent, Bounds b) {
  C* c = new C(&owner);
  c->SetBounds(b.left, b.top, b.width, b.height);
  c->SetParent(&parent);
  return c;
}

// --- alignment ---

TEST(Align, AlignedChildrenShareTheClientAreaAndFollowAResize) {
  auto form = MakeForm();
  auto* top1 = Child<TPanel>(*form, *form, {0, 0, 10, 20});
  top1->SetAlign(TAlign::alTop);
  auto* top2 = Child<TPanel>(*form, *form, {0, 0, 10, 30});
  top2->SetAlign(TAlign::alTop);
  auto* bottom = Child<TPanel>(*form, *form, {0, 0, 10, 40});
  bottom->SetAlign(TAlign::alBottom);
  auto* left = Child<TPanel>(*form, *form, {0, 0, 50, 10});
  left->SetAlign(TAlign::alLeft);
  auto* right = Child<TPanel>(*form, *form, {0, 0, 60, 10});
  right->SetAlign(TAlign::alRight);
  auto* client = Child<TPanel>(*form, *form, {0, 0, 1, 1});
  client->SetAlign(TAlign::alClient);

  struct Case {
    int32_t width, height;
    std::vector<Bounds> expected;  // top1, top2, bottom, left, right, client
  };
  const Case cases[] = {
      {400,
       300,
       {{0, 0, 400, 20},
        {0, 20, 400, 30},
        {0, 260, 400, 40},
        {0, 50, 50, 210},
        {340, 50, 60, 210},
        {50, 50, 290, 210}}},
      {500,
       200,
       {{0, 0, 500, 20},
        {0, 20, 500, 30},
        {0, 160, 500, 40},
        {0, 50, 50, 110},
        {440, 50, 60, 110},
        {50, 50, 390, 110}}},
  };
  for (const Case& c : cases) {
    form->SetBounds(0, 0, c.width, c.height);
    const TControl* controls[] = {top1, top2, bottom, left, right, client};
    for (size_t i = 0; i < std::size(controls); ++i)
      EXPECT_EQ(BoundsOf(*controls[i]), c.expected[i]) << c.width << "x" << c.height << " control " << i;
  }
}

TEST(Align, BorderWidthNarrowsTheClientArea) {
  auto form = MakeForm();
  form->SetBorderWidth(3);
  EXPECT_EQ(form->ClientWidth(), 394);
  EXPECT_EQ(form->ClientHeight(), 294);
  auto* client = Child<TPanel>(*form, *form, {0, 0, 1, 1});
  client->SetAlign(TAlign::alClient);
  EXPECT_EQ(BoundsOf(*client), (Bounds{0, 0, 394, 294}));
}

// --- anchors ---

TEST(Anchors, AChildFollowsTheParentsSizeChangeByItsAnchors) {
  using A = TAnchorKind;
  struct Case {
    const char* name;
    TAnchors anchors;
    Bounds after;  // the parent grows by 100 x 50 from 400 x 300
  };
  const Case cases[] = {
      {"left top stays", {A::akLeft, A::akTop}, {10, 20, 100, 30}},
      {"right keeps its distance to the right edge", {A::akRight, A::akTop}, {110, 20, 100, 30}},
      {"left and right widens", {A::akLeft, A::akTop, A::akRight}, {10, 20, 200, 30}},
      {"bottom keeps its distance to the bottom", {A::akLeft, A::akBottom}, {10, 70, 100, 30}},
      {"top and bottom grows taller", {A::akLeft, A::akTop, A::akBottom}, {10, 20, 100, 80}},
      {"no anchors keeps its place to the centre", {}, {60, 45, 100, 30}},
  };
  for (const Case& c : cases) {
    auto form = MakeForm();
    auto* child = Child<TPanel>(*form, *form, {10, 20, 100, 30});
    child->SetAnchors(c.anchors);
    form->SetBounds(0, 0, 500, 350);
    EXPECT_EQ(BoundsOf(*child), c.after) << c.name;
  }
}

TEST(Anchors, NestedChildrenFollowAnAlignedParent) {
  auto form = MakeForm();
  auto* box = Child<TGroupBox>(*form, *form, {0, 0, 1, 1});
  box->SetAlign(TAlign::alClient);
  auto* field = Child<TComboBox>(*form, *box, {10, 10, 300, 21});
  field->SetAnchors(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop, TAnchorKind::akRight});
  auto* right = Child<TRxSpinEdit>(*form, *box, {320, 10, 60, 21});
  right->SetAnchors(TAnchors{TAnchorKind::akTop, TAnchorKind::akRight});
  form->SetBounds(0, 0, 300, 300);
  EXPECT_EQ(BoundsOf(*field), (Bounds{10, 10, 200, 21}));
  EXPECT_EQ(BoundsOf(*right), (Bounds{220, 10, 60, 21}));
  EXPECT_EQ(box->Width() - right->Left() - right->Width(), 20);
}

TEST(Resize, OnResizeRunsOnlyWhenTheSizeChanges) {
  auto form = MakeForm();
  auto* panel = Child<TPanel>(*form, *form, {0, 0, 100, 50});
  int calls = 0;
  panel->OnResize = [&](TObject& sender) {
    EXPECT_EQ(&sender, panel);
    ++calls;
  };
  panel->SetLeft(30);
  EXPECT_EQ(calls, 0);
  panel->SetWidth(120);
  EXPECT_EQ(calls, 1);
  panel->SetAlign(TAlign::alBottom);  // takes the form's width
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(BoundsOf(*panel), (Bounds{0, 250, 400, 50}));
}

// --- parents and tab order ---

TEST(Parent, MovingAControlChangesBothChildLists) {
  auto form = MakeForm();
  auto* a = Child<TPanel>(*form, *form, {0, 0, 10, 10});
  auto* b = Child<TPanel>(*form, *form, {0, 0, 10, 10});
  auto* c = Child<TButton>(*form, *a, {0, 0, 10, 10});
  EXPECT_EQ(a->ControlCount(), 1);
  c->SetParent(b);
  EXPECT_EQ(a->ControlCount(), 0);
  ASSERT_EQ(b->ControlCount(), 1);
  EXPECT_EQ(b->Controls(0), c);
  EXPECT_EQ(c->ParentForm(), form.get());
}

TEST(Parent, AParentDestroyedFirstLeavesItsChildrenWithoutAParent) {
  auto form = MakeForm();
  TComponent other_owner(nullptr);
  auto* panel = Child<TPanel>(*form, *form, {0, 0, 10, 10});
  auto* label = Child<TLabel>(other_owner, *panel, {0, 0, 10, 10});
  delete panel;
  EXPECT_EQ(label->Parent(), nullptr);
  EXPECT_EQ(form->ControlCount(), 0);
}

TEST(TabOrder, SettingAnOrderMovesTheControlAndRenumbersItsSiblings) {
  auto form = MakeForm();
  auto* a = Child<TButton>(*form, *form, {0, 0, 10, 10});
  auto* b = Child<TButton>(*form, *form, {0, 0, 10, 10});
  auto* c = Child<TComboBox>(*form, *form, {0, 0, 10, 10});
  Child<TLabel>(*form, *form, {0, 0, 10, 10});  // not windowed: no tab order
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(b->TabOrder(), 1);
  EXPECT_EQ(c->TabOrder(), 2);
  c->SetTabOrder(0);
  EXPECT_EQ(c->TabOrder(), 0);
  EXPECT_EQ(a->TabOrder(), 1);
  EXPECT_EQ(b->TabOrder(), 2);
  a->SetTabOrder(99);
  EXPECT_EQ(a->TabOrder(), 2);
  EXPECT_EQ(b->TabOrder(), 1);
}

// --- combo box ---

TComboBox& ThreeItems(TComboBox& combo) {
  combo.Items().Add("Alpha");
  combo.Items().Add("Beta");
  combo.Items().Add("Gamma");
  return combo;
}

TEST(ComboBox, ItemIndexSelectsAnItemOrNothing) {
  struct Case {
    int32_t set;
    int32_t index;
    const char* text;
  };
  const Case cases[] = {{0, 0, "Alpha"}, {2, 2, "Gamma"}, {-1, -1, ""},
                        {3, -1, ""},     {-5, -1, ""},    {100, -1, ""}};
  for (TComboBoxStyle style : {TComboBoxStyle::csDropDown, TComboBoxStyle::csDropDownList}) {
    for (const Case& c : cases) {
      TComboBox combo(nullptr);
      combo.SetStyle(style);
      ThreeItems(combo).SetItemIndex(1);
      combo.SetItemIndex(c.set);
      EXPECT_EQ(combo.ItemIndex(), c.index) << "set " << c.set;
      EXPECT_EQ(combo.Text(), c.text) << "set " << c.set;
    }
  }
}

TEST(ComboBox, ADropDownListsTextIsTheSelectedItem) {
  struct Case {
    const char* set;
    int32_t index;
    const char* text;
  };
  const Case cases[] = {{"Beta", 1, "Beta"}, {"gAMMA", 2, "Gamma"}, {"Delta", -1, ""}, {"", -1, ""}};
  for (const Case& c : cases) {
    TComboBox combo(nullptr);
    combo.SetStyle(TComboBoxStyle::csDropDownList);
    ThreeItems(combo).SetItemIndex(0);
    combo.SetText(c.set);
    EXPECT_EQ(combo.ItemIndex(), c.index) << c.set;
    EXPECT_EQ(combo.Text(), c.text) << c.set;
  }
}

TEST(ComboBox, AnEditableCombosTextIsFreeAndClearsTheSelection) {
  TComboBox combo(nullptr);
  ThreeItems(combo).SetItemIndex(1);
  EXPECT_EQ(combo.Text(), "Beta");
  combo.SetText("anything typed");
  EXPECT_EQ(combo.Text(), "anything typed");
  EXPECT_EQ(combo.ItemIndex(), -1);
  combo.SetItemIndex(2);
  EXPECT_EQ(combo.Text(), "Gamma");
}

TEST(ComboBox, ASelectionLostWithItsItemReadsAsNone) {
  TComboBox combo(nullptr);
  combo.SetStyle(TComboBoxStyle::csDropDownList);
  ThreeItems(combo).SetItemIndex(2);
  combo.Items().Delete(2);
  EXPECT_EQ(combo.ItemIndex(), -1);
  EXPECT_EQ(combo.Text(), "");
}

// --- spin edit ---

TEST(SpinEdit, ValuesAreClampedOnlyWhenALimitIsSet) {
  struct Case {
    double min, max, set, expected;
  };
  const Case cases[] = {
      {0, 0, -1e9, -1e9}, {0, 0, 12.25, 12.25}, {0, 10, 12, 10}, {0, 10, -3, 0},
      {-5, 5, -7.5, -5},  {-5, 5, 2.5, 2.5},    {2, 0, 1, 2},    {2, 0, 7, 2},
  };
  for (const Case& c : cases) {
    TRxSpinEdit spin(nullptr);
    spin.SetValueType(TValueType::vtFloat);
    spin.SetMinValue(c.min);
    spin.SetMaxValue(c.max);
    spin.SetValue(c.set);
    EXPECT_EQ(spin.Value(), c.expected) << c.min << ".." << c.max << " set " << c.set;
  }
}

TEST(SpinEdit, TextShowsTheDecimalsAndReadsNumbers) {
  struct Case {
    const char* set;
    double value;
    const char* shown;
  };
  const Case cases[] = {
      {"1.5", 1.5, "1.500000"},     {" -2.25 ", -2.25, "-2.250000"},
      {"1e3", 1000, "1000.000000"}, {"abc", 0, "0.000000"},
      {"", 0, "0.000000"},          {"3.5x", 0, "0.000000"},
  };
  for (const Case& c : cases) {
    TRxSpinEdit spin(nullptr);
    spin.SetValueType(TValueType::vtFloat);
    spin.SetDecimals(6);
    spin.SetValue(42);
    spin.SetText(c.set);
    EXPECT_EQ(spin.Value(), c.value) << c.set;
    EXPECT_EQ(spin.Text(), c.shown) << c.set;
  }
}

// A band shown under a locale whose decimal separator is "," must still read back as itself.
TEST(SpinEdit, TextKeepsTheDotUnderACommaLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
#ifdef KVO_TEST_LOCALES
  setenv("LOCPATH", KVO_TEST_LOCALES, 1);
#endif
  bool comma = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252"})
    if (!comma && std::setlocale(LC_NUMERIC, name) != nullptr)
      comma = *std::localeconv()->decimal_point == ',';
  TRxSpinEdit spin(nullptr);
  spin.SetValueType(TValueType::vtFloat);
  spin.SetDecimals(6);
  spin.SetValue(0.5);
  const std::string shown = spin.Text();
  spin.SetText(shown);
  std::setlocale(LC_NUMERIC, previous.c_str());
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma on this machine";
  EXPECT_EQ(shown, "0.500000");
  EXPECT_EQ(spin.Value(), 0.5);
}

TEST(SpinEdit, IntegerValuesAreRoundedAndStepsUseTheIncrement) {
  TRxSpinEdit spin(nullptr);
  spin.SetValue(2.6);
  EXPECT_EQ(spin.Value(), 3.0);
  EXPECT_EQ(spin.Text(), "3");
  spin.SetValueType(TValueType::vtFloat);
  spin.Increment = 0.5;
  spin.StepUp();
  spin.StepUp();
  EXPECT_EQ(spin.Value(), 4.0);
  spin.StepDown();
  EXPECT_EQ(spin.Value(), 3.5);
}

// --- buttons ---

TEST(Button, ClickGivesTheFormTheButtonsModalResultThenRunsOnClick) {
  struct Case {
    int32_t button_result;
    int32_t form_result;
  };
  const Case cases[] = {{mrOk, mrOk}, {mrCancel, mrCancel}, {mrNone, 7}};
  for (const Case& c : cases) {
    auto form = MakeForm();
    form->ModalResult = 7;
    auto* panel = Child<TPanel>(*form, *form, {0, 0, 100, 40});
    auto* button = Child<TButton>(*form, *panel, {0, 0, 75, 25});
    button->ModalResult = c.button_result;
    int32_t seen_in_handler = -1;
    button->OnClick = [&](TObject&) { seen_in_handler = form->ModalResult; };
    button->Click();
    EXPECT_EQ(form->ModalResult, c.form_result);
    EXPECT_EQ(seen_in_handler, c.form_result);
  }
}

TEST(Button, AButtonWithoutAFormOnlyRunsOnClick) {
  TButton button(nullptr);
  button.ModalResult = mrOk;
  int clicks = 0;
  button.OnClick = [&](TObject&) { ++clicks; };
  button.Click();
  EXPECT_EQ(clicks, 1);
}

// --- non-visual components ---

TEST(HtmlHelp, TurningDefaultFileOnEmptiesTheFile) {
  THtmlHelp help(nullptr);
  EXPECT_TRUE(help.DefaultFile());
  help.SetDefaultFile(false);
  help.SetChmFile("a.chm");
  help.SetDefaultFile(false);
  EXPECT_EQ(help.ChmFile(), "a.chm");
  help.SetDefaultFile(true);
  EXPECT_EQ(help.ChmFile(), "");
}

TEST(StrHolder, StringsAndLinesAreTheSameList) {
  TStrHolder holder(nullptr);
  holder.Strings().Add("a");
  EXPECT_EQ(GetObjectProp(holder, "Strings"), GetObjectProp(holder, "Lines"));
  EXPECT_EQ(GetObjectProp(holder, "lines"), &holder.Strings());
}

// --- published properties by name ---

TEST(Published, ControlStateIsReachableByName) {
  auto form = MakeForm();
  auto* combo = Child<TComboBox>(*form, *form, {1, 2, 3, 4});
  ThreeItems(*combo);
  auto* spin = Child<TRxSpinEdit>(*form, *form, {0, 0, 10, 10});
  spin->SetValueType(TValueType::vtFloat);
  auto* label = Child<TLabel>(*form, *form, {0, 0, 10, 10});
  auto* button = Child<TButton>(*form, *form, {0, 0, 10, 10});

  struct Case {
    TObject* object;
    const char* name;
    Variant set;
    const char* expected;  // the value read back, as text
  };
  const Case cases[] = {
      {combo, "ItemIndex", Variant::FromInt(1), "1"},
      {combo, "Text", Variant::FromText("Gamma"), "Gamma"},
      {combo, "Left", Variant::FromInt(33), "33"},
      {combo, "Width", Variant::FromInt(44), "44"},
      {combo, "HelpContext", Variant::FromInt(80), "80"},
      {combo, "Tag", Variant::FromInt(9999), "9999"},
      {spin, "Value", Variant::FromDouble(2.5), "2.5"},
      {spin, "Decimals", Variant::FromInt(6), "6"},
      {label, "Caption", Variant::FromText("Hello"), "Hello"},
      {button, "ModalResult", Variant::FromInt(mrOk), "1"},
      {form.get(), "Caption", Variant::FromText("Title"), "Title"},
      {form.get(), "Height", Variant::FromInt(250), "250"},
  };
  for (const Case& c : cases) {
    SetPropValue(*c.object, c.name, c.set);
    EXPECT_EQ(GetPropValue(*c.object, c.name).ToText(), c.expected) << c.name;
  }
  EXPECT_EQ(combo->ItemIndex(), -1);  // the Text "Gamma" of an editable combo is free text
  EXPECT_EQ(spin->Value(), 2.5);
  EXPECT_EQ(form->Height(), 250);
}

TEST(Published, EnumerationsSetsAndObjectsByName) {
  auto form = MakeForm();
  auto* combo = Child<TComboBox>(*form, *form, {0, 0, 10, 10});
  SetEnumProp(*combo, "Style", "csDropDownList");
  EXPECT_EQ(combo->Style(), TComboBoxStyle::csDropDownList);
  SetEnumProp(*combo, "align", "alClient");
  EXPECT_EQ(combo->Align(), TAlign::alClient);
  SetSetProp(*combo, "Anchors", "[akTop,akRight]");
  EXPECT_EQ(combo->Anchors(), (TAnchors{TAnchorKind::akTop, TAnchorKind::akRight}));
  EXPECT_EQ(GetSetProp(*form, "BorderIcons"), "[biSystemMenu,biMinimize,biMaximize]");
  EXPECT_EQ(GetObjectProp(*combo, "Parent"), form.get());
  EXPECT_EQ(GetObjectProp(*combo, "Items"), &combo->Items());

  TStringList items;
  items.Add("X");
  items.Add("Y");
  SetObjectProp(*combo, "Items", &items);
  EXPECT_EQ(combo->Items().Text(), "X\r\nY\r\n");
  EXPECT_THROW(SetObjectProp(*combo, "Items", form.get()), EPropertyConvertError);

  auto* constraints = GetObjectProp<TSizeConstraints>(*form, "Constraints");
  ASSERT_NE(constraints, nullptr);
  SetOrdProp(*constraints, "MinWidth", 420);
  EXPECT_EQ(form->Constraints().MinWidth, 420);
}

}  // namespace
}  // namespace kvo
