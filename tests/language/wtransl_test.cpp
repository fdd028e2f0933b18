// The translator itself: the table a language file gives, its directives, the lookup rules, the
// languages section, and translations one after another from the remembered base-language texts.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/form.h"
#include "language/language_test_support.h"
#include "language/wtransl.h"
#include "platform/text_codec.h"
#include "runtime/application.h"

namespace kvo {
namespace {

using testing::ScratchFolderTest;

std::vector<std::string> Lines(const TStrings& list) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < list.Count(); ++i)
    lines.push_back(list.Get(i));
  return lines;
}

class TranslationTable : public ScratchFolderTest {
 protected:
  TWtransl translator{nullptr};
};

TEST_F(TranslationTable, BlocksWithBothTextsEnterTheTableInFileOrder) {
  const std::string file = WriteLines("app.lng", {
                                                     "[Languages]",
                                                     "$EN = English",
                                                     "$DE = Deutsch",
                                                     "Default = DE",
                                                     "",  //
                                                     "EN:>&Cancel",
                                                     "DE:>&Abbrechen",
                                                     "",  //
                                                     "EN:>Only English",
                                                     "",  //
                                                     "DE:>Nur Deutsch",
                                                     "",  //
                                                     "EN:>Empty German",
                                                     "DE:>",
                                                     "",  //
                                                     "  EN:>Trimmed  ",
                                                     "\tDE:>Getrimmt ",
                                                     "",  //
                                                     "EN:>Later wins",
                                                     "DE:>Erst",
                                                     "DE:>Dann",
                                                     "",  //
                                                     "FR:>Annuler",
                                                     "EN:>Order",
                                                     "DE:>Reihenfolge",
                                                     "",  //
                                                 });
  ASSERT_TRUE(translator.LoadTranslationTable(file, "EN", "DE"));
  EXPECT_EQ(Lines(*translator.SourceLngList()),
            (std::vector<std::string>{"&Cancel", "Trimmed", "Later wins", "Order"}));
  EXPECT_EQ(Lines(*translator.TargetLngList()),
            (std::vector<std::string>{"&Abbrechen", "Getrimmt", "Dann", "Reihenfolge"}));
}

TEST_F(TranslationTable, LastBlockWithoutEmptyLineIsNotTaken) {
  const std::string file = WriteLines("app.lng", {"EN:>One", "DE:>Eins", "", "EN:>Two", "DE:>Zwei"});
  ASSERT_TRUE(translator.LoadTranslationTable(file, "EN", "DE"));
  EXPECT_EQ(Lines(*translator.SourceLngList()), (std::vector<std::string>{"One"}));
}

TEST_F(TranslationTable, LanguagePrefixesAreCaseSensitive) {
  const std::string file = WriteLines(
      "app.lng", {"en:>One", "DE:>Eins", "", "EN:>Two", "de:>Zwei", "", "EN:>Three", "DE:>Drei", ""});
  ASSERT_TRUE(translator.LoadTranslationTable(file, "EN", "DE"));
  EXPECT_EQ(Lines(*translator.SourceLngList()), (std::vector<std::string>{"Three"}));
}

TEST_F(TranslationTable, LoneLineFeedsEndLinesToo) {
  ASSERT_TRUE(testing::WriteBytes(Path("app.lng"), "EN:>One\nDE:>Eins\n\nEN:>Two\r\nDE:>Zwei\r\n\r\n"));
  ASSERT_TRUE(translator.LoadTranslationTable(Path("app.lng"), "EN", "DE"));
  EXPECT_EQ(Lines(*translator.TargetLngList()), (std::vector<std::string>{"Eins", "Zwei"}));
}

TEST_F(TranslationTable, MissingFileGivesFalseAndAnEmptyTable) {
  EXPECT_FALSE(translator.LoadTranslationTable(Path("none.lng"), "EN", "DE"));
  ASSERT_NE(translator.SourceLngList(), nullptr);
  EXPECT_EQ(translator.SourceLngList()->Count(), 0);
  EXPECT_EQ(translator.TargetLngList()->Count(), 0);
}

TEST_F(TranslationTable, Utf8MarkedFileIsReadInThePlatformText) {
  // "Größe" and "Taille" in UTF-8, the file marked as UTF-8.
  ASSERT_TRUE(testing::WriteBytes(Path("app.lng"),
                                  "\xEF\xBB\xBF"
                                  "EN:>Size\r\nDE:>Gr\xC3\xB6\xC3\x9F"
                                  "e\r\n\r\n"));
  ASSERT_TRUE(translator.LoadTranslationTable(Path("app.lng"), "EN", "DE"));
  ASSERT_EQ(translator.TargetLngList()->Count(), 1);
  EXPECT_EQ(translator.SourceLngList()->Get(0), "Size") << "the mark is no part of the first line";
  EXPECT_EQ(translator.TargetLngList()->Get(0), platform::NarrowFromWide(u"Gr\u00f6\u00dfe"));
}

struct DirectiveCase {
  const char* name;
  std::vector<std::string> head;  // lines before the one entry
  TSaveMode save;
  TFileMode file;
};

class Directives : public ScratchFolderTest, public ::testing::WithParamInterface<DirectiveCase> {};

TEST_P(Directives, SetTheModes) {
  std::vector<std::string> lines = GetParam().head;
  for (const char* line : {"EN:>One", "DE:>Eins", ""})
    lines.emplace_back(line);
  TWtransl translator(nullptr);
  ASSERT_TRUE(translator.LoadTranslationTable(WriteLines("app.lng", lines), "EN", "DE"));
  EXPECT_EQ(translator.SaveMode(), GetParam().save);
  EXPECT_EQ(translator.FileMode(), GetParam().file);
  EXPECT_EQ(translator.SourceLngList()->Count(), 1) << "directives are comments to the table";
}

const std::vector<std::string> kEightComments(8, "// comment");

std::vector<std::string> After(std::vector<std::string> head, const std::string& line) {
  head.push_back(line);
  return head;
}

INSTANTIATE_TEST_SUITE_P(
    LanguageFile, Directives,
    ::testing::Values(
        DirectiveCase{"None", {}, smNone, fmNew},
        DirectiveCase{"SaveUntranslated", {"//saveuntr"}, smUntranslated, fmNew},
        DirectiveCase{"SaveAll", {"//saveall"}, smAll, fmNew},
        DirectiveCase{"SaveUnused", {"//saveunused"}, smUnused, fmNew},
        DirectiveCase{"SaveUntranslatedPlaces", {"//saveuntrobj"}, smUntranslatedPlaces, fmNew},
        DirectiveCase{"FileRewrite", {"//filerewrite"}, smNone, fmRewrite},
        DirectiveCase{"FileAppend", {"//fileappend"}, smNone, fmAppend},
        DirectiveCase{"LaterOverridesEarlier",
                      {"//saveuntr", "//fileappend", "//saveunused", "//filenew"},
                      smUnused,
                      fmNew},
        DirectiveCase{"TrailingBlanksCount", {"  //saveuntr \t "}, smUntranslated, fmNew},
        DirectiveCase{"CapitalsDoNot", {"//SAVEUNTR"}, smNone, fmNew},
        DirectiveCase{"MoreTextDoesNot", {"//saveuntr now"}, smNone, fmNew},
        DirectiveCase{"NinthLineCounts", After(kEightComments, "//saveuntr"), smUntranslated, fmNew},
        DirectiveCase{"TenthLineDoesNot", After(After(kEightComments, ""), "//saveuntr"), smNone, fmNew}),
    [](const ::testing::TestParamInfo<DirectiveCase>& param_info) {
      return std::string(param_info.param.name);
    });

struct LookupCase {
  const char* name;
  std::string text;
  std::string expected;
  bool found;
};

class Lookup : public ScratchFolderTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(Lookup, FollowsTheAmpersandAndEscapeRules) {
  TWtransl translator(nullptr);
  ASSERT_TRUE(translator.LoadTranslationTable(WriteLines("app.lng",
                                                         {
                                                             "EN:>&Cancel",
                                                             "DE:>&Abbrechen",
                                                             "",
                                                             "EN:>First line%0D%0ASecond line",
                                                             "DE:>Erste Zeile%0D%0AZweite Zeile",
                                                             "",
                                                             "EN:>Rate",
                                                             "DE:>Quote 100%41",
                                                             "",
                                                             "EN:>Save",
                                                             "DE:>&Speichern",
                                                             "",
                                                         }),
                                              "EN", "DE"));
  std::string result = "unchanged";
  bool found = !GetParam().found;
  translator.LookupTranslation(GetParam().text, result, found);
  EXPECT_EQ(result, GetParam().expected);
  EXPECT_EQ(found, GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Translator, Lookup,
    ::testing::Values(LookupCase{"AmpersandElsewhereKeepsTranslationsMark", "Can&cel", "&Abbrechen", true},
                      LookupCase{"NoAmpersandDropsTranslationsMark", "Cancel", "Abbrechen", true},
                      LookupCase{"BlanksAroundAreIgnored", "  &Cancel \t", "&Abbrechen", true},
                      LookupCase{"LineBreakMatchesEscape", "First line\r\nSecond line",
                                 "Erste Zeile\r\nZweite Zeile", true},
                      LookupCase{"EscapeStaysWithoutControlCharacters", "Rate", "Quote 100%41", true},
                      LookupCase{"MarkOnlyInTranslationIsDropped", "Save", "Speichern", true},
                      LookupCase{"CaseMatters", "cancel", "cancel", false},
                      LookupCase{"UnknownTextStays", "Close", "Close", false},
                      LookupCase{"BlankTextStays", "   ", "   ", false},
                      LookupCase{"EmptyText", "", "", false}),
    [](const ::testing::TestParamInfo<LookupCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(EncodeText, EscapesControlCharactersAndReportsWhatItFound) {
  const TEncodedText kept = TWtransl::EncodeText("A&b\r\n\x1f", false);
  EXPECT_EQ(kept.Key, "A&b%0D%0A%1F");
  EXPECT_TRUE(kept.HasAmpersand);
  EXPECT_TRUE(kept.HasControl);
  const TEncodedText stripped = TWtransl::EncodeText("A&b 100%", true);
  EXPECT_EQ(stripped.Key, "Ab 100%");
  EXPECT_TRUE(stripped.HasAmpersand);
  EXPECT_FALSE(stripped.HasControl);
}

struct DecodeCase {
  std::string text;
  bool strip;
  bool escapes;
  std::string expected;
};

class DecodeText : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeText, DecodesEscapesAndAmpersandsAsAsked) {
  EXPECT_EQ(TWtransl::DecodeText(GetParam().text, GetParam().strip, GetParam().escapes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Translator, DecodeText,
                         ::testing::Values(DecodeCase{"a%0D%0ab", false, true, "a\r\nb"},
                                           DecodeCase{"a%0D%0Ab", false, false, "a%0D%0Ab"},
                                           DecodeCase{"100%zz%4", false, true, "100%zz%4"},
                                           DecodeCase{"%41%", false, true, "A%"},
                                           DecodeCase{"&Save & close", true, false, "Save  close"},
                                           DecodeCase{"&Save", false, true, "&Save"}));

class Languages : public ScratchFolderTest {};

TEST_F(Languages, SectionGivesCodesLabelsAndDefault) {
  TWtransl translator(nullptr);
  translator.LanguageFile = WriteLines(
      "app.lng", {"[languages]", "$EN = English", "$DE=Deutsch", "$IT =", "Other = x", " default = DE ", "",
                  "[More]", "$FR = Francais", "", "EN:>One", "DE:>Eins", ""});
  TStringList list;
  list.Add("stale");
  std::string default_language;
  translator.GetLanguages(&list, default_language);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"EN,English", "DE,Deutsch"}));
  EXPECT_EQ(default_language, "DE");
}

TEST_F(Languages, MissingFileGivesNothing) {
  TWtransl translator(nullptr);
  translator.LanguageFile = Path("none.lng");
  TStringList list;
  list.Add("stale");
  std::string default_language = "stale";
  translator.GetLanguages(&list, default_language);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(default_language, "");
}

// Translations one after another on a small form.
class LanguageSwitch : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    translator.LanguageFile = WriteLines("app.lng", {
                                                        "EN:>&Cancel",
                                                        "DE:>&Abbrechen",
                                                        "FR:>&Annuler",
                                                        "",
                                                        "EN:>Options",
                                                        "DE:>Optionen",
                                                        "FR:>Options",
                                                        "",
                                                        "EN:>Percent",
                                                        "DE:>Prozent",
                                                        "FR:>Pourcentage",
                                                        "",
                                                        "EN:>Hello",
                                                        "DE:>Hallo",
                                                        "",
                                                    });
    translator.FBaseLanguage = "EN";
    form.SetName("frmTest");
    form.Caption = "Options";
    button->SetName("btnCancel");
    button->Caption = "&Cancel";
    label->SetName("Label1");
    label->Caption = "Hello";
    combo->SetName("combo");
    combo->SetStyle(TComboBoxStyle::csDropDownList);
    combo->Items().Add("Percent");
    combo->Items().Add("Hello");
    combo->SetItemIndex(1);
  }

  void Translate(const std::string& language) { translator.Translate(language, &form, "EN"); }
  std::vector<std::string> Texts() const {
    return {form.Caption, button->Caption, label->Caption, combo->Items().Get(0), combo->Items().Get(1)};
  }

  TWtransl translator{nullptr};
  TForm form{nullptr};
  TButton* button = new TButton(&form);
  TLabel* label = new TLabel(&form);
  TComboBox* combo = new TComboBox(&form);
};

TEST_F(LanguageSwitch, IntoTheBaseLanguageFirstChangesNothing) {
  Translate("EN");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Options", "&Cancel", "Hello", "Percent", "Hello"}));
  EXPECT_EQ(translator.LastLanguage(), "") << "nothing was translated";
}

TEST_F(LanguageSwitch, EveryTranslationStartsFromTheBaseTexts) {
  Translate("DE");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Optionen", "&Abbrechen", "Hallo", "Prozent", "Hallo"}));
  Translate("FR");
  // "Hello" has no French text: the English one comes back.
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Options", "&Annuler", "Hello", "Pourcentage", "Hello"}));
  Translate("DE");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Optionen", "&Abbrechen", "Hallo", "Prozent", "Hallo"}));
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "Hallo");
}

TEST_F(LanguageSwitch, BaseLanguagePutsTheRememberedTextsBack) {
  Translate("DE");
  Translate("EN");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Options", "&Cancel", "Hello", "Percent", "Hello"}));
  EXPECT_TRUE(translator.BaseTexts().Empty()) << "every place shows its base text again";
}

TEST_F(LanguageSwitch, LanguageWithoutEntriesShowsTheBaseTexts) {
  Translate("DE");
  Translate("IT");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Options", "&Cancel", "Hello", "Percent", "Hello"}));
}

TEST_F(LanguageSwitch, TextChangedByOtherCodeIsItsNewBase) {
  Translate("DE");
  label->Caption = "Options";  // the module shows another text in the meantime
  Translate("FR");
  EXPECT_EQ(label->Caption, "Options");
  Translate("DE");
  EXPECT_EQ(label->Caption, "Optionen");
  Translate("EN");
  EXPECT_EQ(label->Caption, "Options");
}

TEST_F(LanguageSwitch, OwnersHookIsNotCalledAndIsBackAfterEveryPath) {
  int calls = 0;
  translator.OnPropertyTranslate = [&calls](TObject&, TObject&, const PropInfo*, const std::string&,
                                            std::string&, bool, bool&) { ++calls; };
  const std::string file = translator.LanguageFile;
  translator.LanguageFile = Path("none.lng");
  Translate("DE");  // no table and nothing to put back: skipped
  EXPECT_TRUE(translator.OnPropertyTranslate.Assigned());
  translator.LanguageFile = file;
  Translate("DE");  // a full translation
  EXPECT_TRUE(translator.OnPropertyTranslate.Assigned());
  translator.OnBeforeTranslateComponent = [](TObject&, TObject&, TStrings*, TStrings*, bool&) {
    throw std::runtime_error("veto by failure");
  };
  EXPECT_THROW(Translate("FR"), std::runtime_error);
  EXPECT_TRUE(translator.OnPropertyTranslate.Assigned());
  EXPECT_EQ(translator.SourceLngList(), nullptr) << "the table is gone after a failure too";
  EXPECT_EQ(calls, 0);
  std::string text;
  bool do_default = true;
  translator.OnPropertyTranslate(translator, form, nullptr, "x", text, false, do_default);
  EXPECT_EQ(calls, 1) << "the owner's own handler is back in the slot";
}

TEST_F(LanguageSwitch, AfterTranslateRunsOnlyWhenTheWalkRan) {
  std::vector<int32_t> table_sizes;
  translator.OnAfterTranslate = [&table_sizes](TObject&, TStrings* source, TStrings* target) {
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    table_sizes.push_back(source->Count());
  };
  Translate("EN");  // the base language, nothing remembered
  translator.LanguageFile = Path("none.lng");
  Translate("DE");  // no table, nothing remembered
  EXPECT_TRUE(table_sizes.empty());
  translator.LanguageFile = Path("app.lng");
  Translate("DE");
  EXPECT_EQ(table_sizes, (std::vector<int32_t>{4}));
}

TEST_F(LanguageSwitch, WithoutComponentEveryApplicationFormButTheMarkedIsTranslated) {
  auto* shown = new TForm(&Application());
  shown->Caption = "Options";
  auto* own_only = new TForm(&Application());
  own_only->Caption = "Options";
  own_only->SetTag(kTagOwnedOnly);
  auto* own_only_label = new TLabel(own_only);
  own_only_label->Caption = "Hello";
  auto* skipped = new TForm(&Application());
  skipped->Caption = "Options";
  skipped->SetTag(kTagNoTranslation);
  translator.Translate("DE", nullptr);
  EXPECT_EQ(shown->Caption, "Optionen");
  EXPECT_EQ(own_only->Caption, "Options");
  EXPECT_EQ(own_only_label->Caption, "Hallo");
  EXPECT_EQ(skipped->Caption, "Options");
  EXPECT_EQ(form.Caption, "Options") << "a form the application does not own is not reached";
  delete shown;
  delete own_only;
  delete skipped;
}

}  // namespace
}  // namespace kvo
