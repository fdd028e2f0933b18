// The walk over a small form built here: the markers, combo boxes, collections, string lists and the
// hooks around each object.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/form.h"
#include "language/language_test_support.h"
#include "language/wtransl.h"
#include "runtime/collection.h"
#include "runtime/publish.h"

namespace kvo {
namespace {

// A grid with a "Columns" collection, as list views have.
class TTestColumn : public TCollectionItem {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  std::string Caption;
  static const PropInfo kPublished[];
};
constinit const PropInfo TTestColumn::kPublished[] = {
    Publish<TTestColumn>::String<&TTestColumn::Caption, &TTestColumn::Caption>("Caption"),
};
constinit const TClassInfo TTestColumn::StaticClass{"TTestColumn", &TCollectionItem::StaticClass,
                                                    TTestColumn::kPublished};

class TTestGrid : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TTestGrid(TComponent* owner) : TComponent(owner) {}
  TCollectionOf<TTestColumn>& Columns() { return FColumns; }
  const TCollection& ColumnsRef() const { return FColumns; }
  static const PropInfo kPublished[];

 private:
  TCollectionOf<TTestColumn> FColumns{this};
};
constinit const PropInfo TTestGrid::kPublished[] = {
    Publish<TTestGrid>::Object<&TTestGrid::ColumnsRef>("Columns"),
};
constinit const TClassInfo TTestGrid::StaticClass{"TTestGrid", &TComponent::StaticClass,
                                                  TTestGrid::kPublished};

class Walk : public testing::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    translator.LanguageFile = WriteLines("app.lng", {"EN:>Options", "DE:>Optionen", "",  //
                                                     "EN:>Cancel", "DE:>Abbrechen", "",  //
                                                     "EN:>Percent", "DE:>Prozent", "",   //
                                                     "EN:>Absolute", "DE:>Absolut", "",  //
                                                     "EN:>Name", "DE:>Bezeichnung", "",  //
                                                     "EN:>Tip", "DE:>Hinweis", ""});
    translator.FBaseLanguage = "EN";
    form.Caption = "Options";
  }
  template <typename C>
  C* Add(const char* name, TComponent* owner = nullptr) {
    C* component = new C(owner ? owner : &form);
    component->SetName(name);
    return component;
  }
  TLabel* Label(const char* name, TComponent* owner = nullptr) {
    TLabel* label = Add<TLabel>(name, owner);
    label->Caption = "Cancel";
    return label;
  }
  void Translate() { translator.Translate("DE", &form, "EN"); }

  TWtransl translator{nullptr};
  TForm form{nullptr};
};

TEST_F(Walk, TagsKeepComponentsOut) {
  TLabel* plain = Label("plain");
  TLabel* out = Label("out");
  out->SetTag(kTagNoTranslation);
  TLabel* inside_out = Label("insideOut", out);
  TLabel* own_only = Label("ownOnly");
  own_only->SetTag(kTagOwnedOnly);
  TLabel* inside_own_only = Label("insideOwnOnly", own_only);
  Translate();
  EXPECT_EQ(plain->Caption, "Abbrechen");
  EXPECT_EQ(out->Caption, "Cancel");
  EXPECT_EQ(inside_out->Caption, "Cancel");
  EXPECT_EQ(own_only->Caption, "Cancel");
  EXPECT_EQ(inside_own_only->Caption, "Abbrechen");
  EXPECT_EQ(form.Caption, "Optionen");
}

TEST_F(Walk, NamesWithUnderscoresKeepComponentsOrTheirContentOut) {
  auto* hidden = Add<TButton>("__hidden");
  hidden->Caption = "Cancel";
  TLabel* inside_hidden = Label("insideHidden", hidden);
  auto* frame = Add<TPanel>("_frame");
  frame->Caption = "Cancel";
  TLabel* inside_frame = Label("insideFrame", frame);
  Translate();
  EXPECT_EQ(hidden->Caption, "Cancel");
  EXPECT_EQ(inside_hidden->Caption, "Cancel");
  EXPECT_EQ(frame->Caption, "Abbrechen");
  EXPECT_EQ(inside_frame->Caption, "Cancel");
}

TEST_F(Walk, HelpContextMarksOnlyWindowedControls) {
  auto* panel = Add<TPanel>("panel");
  panel->Caption = "Cancel";
  panel->SetHelpContext(kTagNoTranslation);
  auto* no_help = Add<TGroupBox>("noHelp");
  no_help->Caption = "Cancel";
  no_help->SetHelpContext(-1);
  TLabel* label = Label("label");
  label->SetHelpContext(kTagNoTranslation);
  auto* helped = Add<TButton>("helped");
  helped->Caption = "Cancel";
  helped->SetHelpContext(80);
  Translate();
  EXPECT_EQ(panel->Caption, "Cancel");
  EXPECT_EQ(no_help->Caption, "Cancel");
  EXPECT_EQ(label->Caption, "Abbrechen");
  EXPECT_EQ(helped->Caption, "Abbrechen");
}

TEST_F(Walk, DropDownListKeepsItsTextAndGetsItsItemsLineByLine) {
  auto* list = Add<TComboBox>("list");
  list->SetStyle(TComboBoxStyle::csDropDownList);
  for (const char* item : {"Absolute", "Percent", "Unknown"})
    list->Items().Add(item);
  list->SetItemIndex(1);
  std::vector<std::string> texts_seen;
  translator.OnBeforeTranslateComponent = [&](TObject&, TObject& comp, TStrings*, TStrings*, bool&) {
    if (&comp == list) texts_seen.push_back(list->Text());
  };
  translator.OnCustomTranslate = [&](TObject&, TObject& comp, TStrings*, TStrings*) {
    if (&comp == list) texts_seen.push_back(list->Text());
  };
  Translate();
  EXPECT_EQ(texts_seen, (std::vector<std::string>{"Percent", "Percent"})) << "its text is not translated";
  EXPECT_EQ(list->Items().Text(), "Absolut\r\nProzent\r\nUnknown\r\n");
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(list->Text(), "Prozent");
}

TEST_F(Walk, EditableComboGetsItsTextTranslatedAndKeepsItsSelection) {
  auto* combo = Add<TComboBox>("combo");
  combo->Items().Add("Options");
  combo->Items().Add("Cancel");
  combo->SetItemIndex(1);
  combo->SetHint("Tip");
  Translate();
  EXPECT_EQ(combo->ItemIndex(), 1) << "writing the text cleared the selection; it is set back";
  EXPECT_EQ(combo->Hint(), "Hinweis");
  EXPECT_EQ(combo->Items().Text(), "Optionen\r\nAbbrechen\r\n");
}

TEST_F(Walk, ColumnsCollectionGetsEveryItemTranslated) {
  translator.ComponentProperties.Add("Columns");
  auto* grid = Add<TTestGrid>("grid");
  grid->Columns().Add().Caption = "Name";
  grid->Columns().Add().Caption = "Percent";
  grid->Columns().Add().Caption = "Other";
  Translate();
  EXPECT_EQ(grid->Columns().Items(0).Caption, "Bezeichnung");
  EXPECT_EQ(grid->Columns().Items(1).Caption, "Prozent");
  EXPECT_EQ(grid->Columns().Items(2).Caption, "Other");
}

TEST_F(Walk, OtherObjectPropertyGoesToItsHookOnly) {
  translator.ComponentProperties.Insert(0, "Font");
  form.Font().Name = "Options";
  Translate();
  EXPECT_EQ(form.Font().Name, "Options") << "without a handler nothing happens";
  EXPECT_EQ(form.Caption, "Optionen");

  std::vector<std::pair<std::string, TObject*>> calls;
  translator.OnCustomObjectPropertyTranslate = [&](TObject&, const std::string& prop, TObject* obj,
                                                   TStrings* source, TStrings*) {
    calls.emplace_back(prop, obj);
    EXPECT_NE(source, nullptr);
    throw std::runtime_error("a failing property");
  };
  form.Caption = "Cancel";
  Translate();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].first, "Font");
  EXPECT_EQ(calls[0].second, &form.Font());
  EXPECT_EQ(form.Caption, "Abbrechen") << "a failing property does not stop the next";
}

TEST_F(Walk, VetoedFormKeepsItsTextsButItsComponentsAreWalked) {
  TLabel* label = Label("label");
  std::vector<TObject*> custom;
  translator.OnBeforeTranslateComponent = [this](TObject&, TObject& comp, TStrings*, TStrings*, bool& allow) {
    if (&comp == &form) allow = false;
  };
  translator.OnCustomTranslate = [&custom](TObject&, TObject& comp, TStrings*, TStrings*) {
    custom.push_back(&comp);
  };
  Translate();
  EXPECT_EQ(form.Caption, "Options");
  EXPECT_EQ(label->Caption, "Abbrechen");
  EXPECT_EQ(custom, (std::vector<TObject*>{label}));
}

TEST_F(Walk, FormTaggedOwnedOnlyKeepsItsCaption) {
  TLabel* label = Label("label");
  form.SetTag(kTagOwnedOnly);
  Translate();
  EXPECT_EQ(form.Caption, "Options");
  EXPECT_EQ(label->Caption, "Abbrechen");
}

TEST_F(Walk, FailureTranslatingComboItemsEndsTheTranslation) {
  auto* combo = Add<TComboBox>("combo");
  combo->Items().Add("Percent");
  combo->Items().SetSorted(true);  // a sorted list refuses a line put in place
  TLabel* later = Label("later");
  EXPECT_ANY_THROW(Translate());
  EXPECT_EQ(later->Caption, "Cancel");
}

}  // namespace
}  // namespace kvo
