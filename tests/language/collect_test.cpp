// The collecting modes end to end: a language file whose first lines switch the translator into a mode,
// a small form walked, and the file the translator writes when it is destroyed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/form.h"
#include "language/language_test_support.h"
#include "language/wtransl.h"

namespace kvo {
namespace {

using testing::CrLfLines;

std::string Header(const std::string& base, const std::string& language) {
  return CrLfLines(
      {"[Languages]", "$" + base + " = #1", "$" + language + " = #2 (Default)", "Default = " + language, ""});
}

std::string Blocks(const std::vector<std::string>& entries, const std::string& base = "EN",
                   const std::string& language = "DE") {
  std::string text;
  for (const std::string& entry : entries)
    text += CrLfLines({base + ":>" + entry, language + ":>", ""});
  return text + "\r\n";
}

class Collecting : public testing::ScratchFolderTest {
 protected:
  // Writes app.lng with `directives` on top of a table of "Options", "Cancel" and "Unused entry".
  void WriteLanguageFile(const std::vector<std::string>& directives) {
    std::vector<std::string> lines = directives;
    for (const char* line : {"", "EN:>Options", "DE:>Optionen", "", "EN:>&Cancel", "DE:>&Abbrechen", "",
                             "EN:>Unused entry", "DE:>Unbenutzt", ""})
      lines.emplace_back(line);
    WriteLines("app.lng", lines);
  }

  // Walks a small form from EN to DE with a fresh translator, which is destroyed at the end; returns the
  // form's texts after the walk.
  std::vector<std::string> WalkForm() {
    auto translator = std::make_unique<TWtransl>(nullptr);
    translator->LanguageFile = Path("app.lng");
    translator->FBaseLanguage = "EN";
    TForm form(nullptr);
    form.SetName("frmWalk");
    form.Caption = "Options";
    std::vector<std::string> captions = {"Cancel", "zeta", "Alpha", "123 456", "", "Two\r\nlines", "Alpha"};
    std::vector<TLabel*> labels;
    for (size_t i = 0; i < captions.size(); ++i) {
      labels.push_back(new TLabel(&form));
      labels.back()->SetName("Label" + std::to_string(i));
      labels.back()->Caption = captions[i];
    }
    translator->Translate("DE", &form, "EN");
    std::vector<std::string> texts = {form.Caption};
    for (TLabel* label : labels)
      texts.push_back(label->Caption);
    return texts;
  }
  const std::vector<std::string> kUnchanged = {"Options", "Cancel", "zeta",         "Alpha",
                                               "123 456", "",       "Two\r\nlines", "Alpha"};
};

TEST_F(Collecting, NothingIsCollectedWithoutADirective) {
  WriteLanguageFile({});
  EXPECT_EQ(WalkForm()[0], "Optionen");
  EXPECT_FALSE(Exists("app.lng.new"));
}

TEST_F(Collecting, UntranslatedTextsGoSortedToTheNewFileAndNothingChanges) {
  WriteLanguageFile({"//saveuntr"});
  EXPECT_EQ(WalkForm(), kUnchanged);
  EXPECT_EQ(Read("app.lng.new"), Header("EN", "DE") + Blocks({"Alpha", "Two%0D%0Alines", "zeta"}));
  EXPECT_FALSE(Exists("app.lng.unused"));
}

TEST_F(Collecting, ExistingNewFileGivesTheNextNumberedName) {
  WriteLanguageFile({"//saveuntr"});
  WalkForm();
  WalkForm();
  WalkForm();
  const std::string expected = Header("EN", "DE") + Blocks({"Alpha", "Two%0D%0Alines", "zeta"});
  EXPECT_EQ(Read("app.lng.new"), expected);
  EXPECT_EQ(Read("app.lng.1.new"), expected);
  EXPECT_EQ(Read("app.lng.2.new"), expected);
}

TEST_F(Collecting, AppendModeAddsBlocksWithoutASecondHeader) {
  WriteLanguageFile({"//fileappend", "//saveuntr"});
  WalkForm();
  WalkForm();
  const std::string blocks = Blocks({"Alpha", "Two%0D%0Alines", "zeta"});
  EXPECT_EQ(Read("app.lng.new"), Header("EN", "DE") + blocks + blocks);
  EXPECT_FALSE(Exists("app.lng.1.new"));
}

TEST_F(Collecting, RewriteModeReplacesTheFile) {
  WriteLines("app.lng.new", {"old content"});
  WriteLanguageFile({"//saveuntr", "//filerewrite"});
  WalkForm();
  const std::string text = Read("app.lng.new");
  EXPECT_EQ(text.find("old content"), std::string::npos);
  EXPECT_NE(text.find(Blocks({"Alpha", "Two%0D%0Alines", "zeta"})), std::string::npos);
  EXPECT_FALSE(Exists("app.lng.1.new"));
}

TEST_F(Collecting, UnusedEntriesGoToTheUnusedFile) {
  WriteLanguageFile({"//saveunused"});
  EXPECT_EQ(WalkForm(), kUnchanged);
  // "&Cancel" is used by "Cancel" only through the lookup; the entry is compared as written.
  EXPECT_EQ(Read("app.lng.unused"), Header("EN", "DE") + Blocks({"&Cancel", "Unused entry"}));
  EXPECT_FALSE(Exists("app.lng.new"));
}

TEST_F(Collecting, UntranslatedTextsWithTheirPlaces) {
  WriteLanguageFile({"//saveuntrobj"});
  EXPECT_EQ(WalkForm(), kUnchanged);
  EXPECT_EQ(Read("app.lng.new"),
            Header("EN", "DE") + Blocks({"Label1.Caption=zeta", "Label2.Caption=Alpha",
                                         "Label5.Caption=Two%0D%0Alines", "Label6.Caption=Alpha"}));
}

TEST_F(Collecting, SaveAllChangesNothingAndWritesNothing) {
  WriteLanguageFile({"//saveall"});
  EXPECT_EQ(WalkForm(), kUnchanged);
  EXPECT_FALSE(Exists("app.lng.new"));
  EXPECT_FALSE(Exists("app.lng.unused"));
}

TEST_F(Collecting, UnwritableFileIsNotReported) {
  WriteLanguageFile({"//saveuntr"});
  auto translator = std::make_unique<TWtransl>(nullptr);
  translator->LanguageFile = Path("app.lng");
  translator->FBaseLanguage = "EN";
  TLabel label(nullptr);
  label.Caption = "Alpha";
  translator->Translate("DE", &label, "EN");
  translator->LanguageFile = Path("missing-folder/app.lng");
  EXPECT_NO_THROW(translator.reset());
  EXPECT_FALSE(Exists("missing-folder"));
}

}  // namespace
}  // namespace kvo
