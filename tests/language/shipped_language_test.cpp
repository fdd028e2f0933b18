// The deadband module's own language file as shipped beside the module: it loads, names its languages,
// and every text of the module and its options dialog has an entry, for every language it offers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "deadband/filter_main.h"
#include "language/language_test_support.h"
#include "language/wtransl.h"
#include "params/params_list.h"

namespace kvo {
namespace {

const std::string kUtf8Mark = "\xEF\xBB\xBF";

class ShippedLanguageFile : public testing::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    shipped_ = testing::ReadBytes(KVO_SHIPPED_LANGUAGE_FILE);
    ASSERT_FALSE(shipped_.empty()) << "no language file beside the module: " << KVO_SHIPPED_LANGUAGE_FILE;
    auto* plugin = static_cast<TaPlugin*>(CreatePluginOf<TaPlugin>(nullptr));
    plugin_.reset(plugin);
    ASSERT_NE(plugin_->Transl(), nullptr);
    // A settings key nobody writes: the forms keep their design values whatever other tests store.
    TParamsList load;
    load.Add("RegistryPath", Variant::FromText("Software\\kvo-test-language\\never-written"));
    ASSERT_EQ(plugin_->ExecuteCommand("LOAD", &load), 0);
    plugin->AdoptSettingsForm(nullptr);
  }

  // The shipped file in the scratch folder, with `directive` as its first line when one is given.
  std::string CopyWith(const std::string& directive) {
    std::string text = shipped_;
    if (!directive.empty()) {
      const size_t start = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
      text.insert(start, directive + "\r\n");
    }
    EXPECT_TRUE(testing::WriteBytes(Path("deadband.lng"), text));
    return Path("deadband.lng");
  }

  // A translator set up as the module's, reading `file`.
  std::unique_ptr<TWtransl> Translator(const std::string& file) {
    auto translator = std::make_unique<TWtransl>(nullptr);
    translator->LanguageFile = file;
    translator->FBaseLanguage = "EN";
    translator->ComponentProperties.Assign(plugin_->Transl()->ComponentProperties);
    return translator;
  }

  void Language(const std::string& language) {
    TParamsList parameters;
    parameters.Add("LANGUAGE", Variant::FromText(language));
    plugin_->ApplyLanguageParam(&parameters);
  }

  std::string shipped_;
  std::unique_ptr<TkvoPlugin> plugin_;
};

TEST_F(ShippedLanguageFile, OffersEnglishGermanAndFrenchWithEnglishByDefault) {
  auto translator = Translator(CopyWith(""));
  TStringList languages;
  std::string default_language;
  translator->GetLanguages(&languages, default_language);
  EXPECT_EQ(default_language, "EN");
  ASSERT_EQ(languages.Count(), 3);
  EXPECT_EQ(languages.Get(0), "EN,English");
  EXPECT_EQ(languages.Get(1), "DE,Deutsch");
  EXPECT_TRUE(languages.Get(2).starts_with("FR,Fran"));
  for (const char* language : {"DE", "FR"}) {
    ASSERT_TRUE(translator->LoadTranslationTable(translator->LanguageFile, "EN", language));
    EXPECT_EQ(translator->SourceLngList()->Count(), 13) << language;
  }
}

class EveryText : public ShippedLanguageFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(EveryText, OfTheModuleAndItsDialogHasATranslation) {
  auto* form = Create<TfrmOption>(plugin_.get());
  auto translator = Translator(CopyWith("//saveuntr"));
  translator->Translate(GetParam(), plugin_.get(), "EN");
  ASSERT_EQ(translator->SaveMode(), smUntranslated);
  // The dialog's title is the module's name and version, which no language changes.
  EXPECT_EQ(form->Caption, plugin_->Description + " " + plugin_->Version());
  std::vector<std::string> collected;
  for (int32_t i = 0; i < translator->Collected().Count(); ++i)
    collected.push_back(translator->Collected().Get(i));
  EXPECT_EQ(collected, (std::vector<std::string>{TWtransl::EncodeText(form->Caption, false).Key}));
  EXPECT_EQ(form->gbDB->Caption, "Deadband variables") << "collecting changes nothing";
}

TEST_P(EveryText, EntryIsUsedByTheModuleOrItsDialog) {
  Create<TfrmOption>(plugin_.get());
  auto translator = Translator(CopyWith("//saveunused"));
  translator->Translate(GetParam(), plugin_.get(), "EN");
  ASSERT_EQ(translator->SaveMode(), smUnused);
  ASSERT_EQ(translator->Collected().Count(), 1);
  EXPECT_EQ(translator->Collected().Get(0), "") << "only the end mark is left";
}

INSTANTIATE_TEST_SUITE_P(Deadband, EveryText, ::testing::Values("DE", "FR"));

TEST_F(ShippedLanguageFile, DialogIsTranslatedWhenCreatedButNotItsRelationshipOrFields) {
  plugin_->Transl()->LanguageFile = CopyWith("");
  Language("DE");
  EXPECT_EQ(plugin_->MsgNoData, "Keine Daten zur Verarbeitung");
  auto* form = Create<TfrmOption>(plugin_.get());
  EXPECT_EQ(form->Label2->Caption, "Beziehung zwischen den Variablen");
  EXPECT_EQ(form->gbDB->Caption, "Totband-Variablen");
  EXPECT_EQ(form->btnOK->Caption, "OK");
  EXPECT_EQ(form->btnCancel->Caption, "Abbrechen");
  EXPECT_EQ(form->comboRel->Items().Text(), "AND\r\nOR\r\n");
  EXPECT_EQ(form->comboRel->ItemIndex(), 0);
  const std::string german_types = "Absolut\r\nProzent\r\nZeitgrenze (s)\r\nAnzahlgrenze\r\n";
  for (int n = 1; n <= kDeadbandSlotCount; ++n) {
    auto* type = dynamic_cast<TComboBox*>(form->FindComponent("type" + std::to_string(n)));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->Items().Text(), german_types) << "type" << n << " has the translated names";
  }

  // The dialog is the module's: a language change reaches it, "AND" and "OR" stay.
  Language("FR");
  EXPECT_EQ(form->gbDB->Caption, "Variables de bande morte");
  EXPECT_EQ(form->btnCancel->Caption, "Annuler");
  auto* type1 = dynamic_cast<TComboBox*>(form->FindComponent("type1"));
  ASSERT_NE(type1, nullptr);
  EXPECT_EQ(type1->Items().Get(1), "Pourcentage");
  EXPECT_EQ(form->comboRel->Items().Text(), "AND\r\nOR\r\n");

  Language("EN");
  EXPECT_EQ(plugin_->MsgNoData, "No data for processing");
  EXPECT_EQ(form->gbDB->Caption, "Deadband variables");
  EXPECT_EQ(form->btnCancel->Caption, "Cancel");
  EXPECT_EQ(type1->Items().Get(1), "Percent");
}

}  // namespace
}  // namespace kvo
