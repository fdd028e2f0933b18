// The component property store: property maps, path resolution, both stores, escaping, virtual values,
// custom property handlers and the error rules, on a small test form.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "params/variant.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "runtime/application.h"
#include "runtime/component.h"
#include "runtime/enum_info.h"
#include "runtime/event.h"
#include "runtime/persistent.h"
#include "runtime/properties.h"
#include "runtime/publish.h"
#include "runtime/string_list.h"
#include "settings/big_ini.h"
#include "settings/escape_text.h"
#include "settings/wreg.h"
#include "support/faulty_file_system.h"

namespace kvo::testing {

enum class TPlacement : uint8_t { poDesigned, poDesktopCenter, poScreenCenter };
inline constexpr std::string_view kPlacementNames[] = {"poDesigned", "poDesktopCenter", "poScreenCenter"};
inline constexpr TEnumInfo kPlacementInfo{"TPlacement", kPlacementNames};

class TTestFont : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  double Size = 8;

 private:
  static const PropInfo kPublished[];
};

class TTestEdit : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TTestEdit(TComponent* owner) : TComponent(owner) {}
  std::string Text;
  TTestFont Font;

 private:
  static const PropInfo kPublished[];
};

class TTestPanel : public TComponent {
 public:
  explicit TTestPanel(TComponent* owner) : TComponent(owner) {}
};

// Served by a custom handler through "*ItemIndex": ItemIndex is not published.
class TTestCombo : public TComponent {
 public:
  explicit TTestCombo(TComponent* owner) : TComponent(owner) {}
  int32_t ItemIndex = -1;
};

class TTestForm : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }
  explicit TTestForm(TComponent* owner) : TComponent(owner) {}
  ~TTestForm() override { DestroyComponents(); }

  int32_t Left = 0;
  double Ratio = 0;
  std::string Caption;
  bool Visible = false;
  TPlacement Position = TPlacement::poDesigned;
  uint32_t Anchors = 0;
  TStringList Lines;
  TComponent* Buddy = nullptr;
  TComponent* DockSite = nullptr;
  Variant Extra;
  TNotifyEvent OnShow;

 private:
  static const PropInfo kPublished[];
};

constinit const PropInfo TTestFont::kPublished[] = {
    Publish<TTestFont>::Float<&TTestFont::Size, &TTestFont::Size>("Size"),
};
constinit const TClassInfo TTestFont::StaticClass{"TTestFont", &TPersistent::StaticClass,
                                                  TTestFont::kPublished};

constinit const PropInfo TTestEdit::kPublished[] = {
    Publish<TTestEdit>::String<&TTestEdit::Text, &TTestEdit::Text>("Text"),
    Publish<TTestEdit>::Object<&TTestEdit::Font>("Font"),
};
constinit const TClassInfo TTestEdit::StaticClass{"TTestEdit", &TComponent::StaticClass,
                                                  TTestEdit::kPublished};

constinit const PropInfo TTestForm::kPublished[] = {
    Publish<TTestForm>::Integer<&TTestForm::Left, &TTestForm::Left>("Left"),
    Publish<TTestForm>::Float<&TTestForm::Ratio, &TTestForm::Ratio>("Ratio"),
    Publish<TTestForm>::String<&TTestForm::Caption, &TTestForm::Caption>("Caption"),
    Publish<TTestForm>::Boolean<&TTestForm::Visible, &TTestForm::Visible>("Visible"),
    Publish<TTestForm>::Enumeration<&TTestForm::Position, &TTestForm::Position>("Position", kPlacementInfo),
    Publish<TTestForm>::Set<&TTestForm::Anchors, &TTestForm::Anchors>("Anchors", kPlacementInfo),
    Publish<TTestForm>::Object<&TTestForm::Lines>("Lines"),
    Publish<TTestForm>::Object<&TTestForm::Buddy, &TTestForm::Buddy>("Buddy"),
    Publish<TTestForm>::Object<&TTestForm::DockSite, &TTestForm::DockSite>("DockSite"),
    Publish<TTestForm>::Any<&TTestForm::Extra, &TTestForm::Extra>("Extra"),
    Publish<TTestForm>::Method<&TTestForm::OnShow>("OnShow"),
};
constinit const TClassInfo TTestForm::StaticClass{"TTestForm", &TComponent::StaticClass,
                                                  TTestForm::kPublished};

namespace {

constexpr char kKeyRoot[] = "Software\\kvo-test-wreg";

// The test form "Form1" with panel1.edit1, var1 (an edit), a combo box and the buddy "Target".
struct FormFixture {
  std::unique_ptr<TTestForm> form;
  TTestPanel* panel = nullptr;
  TTestEdit* nested = nullptr;
  TTestEdit* var1 = nullptr;
  TTestCombo* combo = nullptr;
  TTestEdit* target = nullptr;

  explicit FormFixture(TComponent* owner = nullptr) : form(new TTestForm(owner)) {
    form->SetName("Form1");
    panel = new TTestPanel(form.get());
    panel->SetName("panel");
    nested = new TTestEdit(panel);
    nested->SetName("edit");
    var1 = new TTestEdit(form.get());
    var1->SetName("var1");
    combo = new TTestCombo(form.get());
    combo->SetName("cbMode");
    target = new TTestEdit(form.get());
    target->SetName("Target");
  }
};

// A scratch folder (the INI files; on POSIX also the registry's root files) and, on Windows, a registry
// key below HKEY_CURRENT_USER that is removed at the end.
class WregTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << "kvo-wreg-" << ::testing::UnitTest::GetInstance()->current_test_info()->name() << "-"
         << counter.fetch_add(1) << "-" << std::chrono::steady_clock::now().time_since_epoch().count();
    scratch_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(scratch_);
#if !defined(_WIN32)
    ASSERT_EQ(::setenv("KVO_REGISTRY_DIR", (scratch_ / "registry").c_str(), 1), 0);
#endif
    key_path_ =
        std::string(kKeyRoot) + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Application().SetTitle("wreg test");
  }
  void TearDown() override {
    platform::RegistryKey software;
    if (platform::RegistryKey::Open(platform::RegistryRoot::kCurrentUser, "Software", false, &software,
                                    nullptr)) {
      software.DeleteKey("kvo-test-wreg");
    }
#if !defined(_WIN32)
    ::unsetenv("KVO_REGISTRY_DIR");
#endif
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  // A store on the test's registry key under HKEY_CURRENT_USER, or on `ini` when given.
  std::unique_ptr<TWreg> MakeWreg(std::vector<std::string> map, std::string ini = {}) {
    auto wreg = std::make_unique<TWreg>(nullptr);
    wreg->SetRegistryRoot(rrHKEY_CURRENT_USER);
    wreg->SetSecondRegistryRoot(rrNone);
    wreg->SetRegistryPath(key_path_ + "\\");
    wreg->SetINIFile(ini);
    for (const std::string& line : map)
      wreg->Components().Add(line);
    return wreg;
  }

  std::string IniPath(const char* name = "settings.ini") const {
    return (scratch_ / name).string();
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  platform::RegistryKey Key(const std::string& sub = {}, bool create = false) const {
    platform::RegistryKey key;
    const std::string path = sub.empty() ? key_path_ : key_path_ + "\\" + sub;
    EXPECT_TRUE(
        platform::RegistryKey::Open(platform::RegistryRoot::kCurrentUser, path, create, &key, nullptr))
        << path;
    return key;
  }

  std::filesystem::path scratch_;
  std::string key_path_;
};

// --- Escaping ---------------------------------------------------------------------------------------------

TEST(WregEscapeText, EscapesAndReadsBack) {
  struct Case {
    std::string plain;
    std::string escaped;
  };
  const Case cases[] = {
      {" a  b ", "+a  b+"}, {"50%", "50%%"},     {"x\r\ny\r\n", "x%0D%0Ay%0D%0A"}, {"1+1", "1%2B1"},
      {"   ", "+++"},       {"\ta b", "%09a b"}, {"a\x7f\xe9z", "a\x7f\xe9z"},     {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(EscapeText(c.plain), c.escaped);
    EXPECT_EQ(UnescapeText(c.escaped), c.plain);
  }
}

TEST(WregEscapeText, StopsAtTheFirstNul) {
  EXPECT_EQ(EscapeText(std::string_view("ab\0+c", 5)), "ab");
}

TEST(WregEscapeText, OutputIsAtMostThreeTimesTheInput) {
  const std::string controls(40, '\x01');
  EXPECT_EQ(EscapeText(controls).size(), controls.size() * 3);
}

TEST(WregUnescapeText, KeepsAPercentThatStartsNoEscape) {
  struct Case {
    const char* stored;
    const char* loaded;
  };
  const Case cases[] = {
      {"ab%4", "ab%4"}, {"ab%", "ab%"}, {"%zz1", "%zz1"}, {"%4G", "%4G"},    {"%41", "A"},
      {"%6a%6A", "jj"}, {"a+b", "a b"}, {"%%41", "%41"},  {"100%%", "100%"}, {"%%%", "%%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(UnescapeText(c.stored), c.loaded);
  }
}

// --- The component itself
// -----------------------------------------------------------------------------------

TEST(WregComponent, PublishesItsSettingsInOrderWithTheirDefaults) {
  TWreg wreg(nullptr);
  std::vector<std::string> names;
  for (const PropInfo* prop : GetPropList(wreg))
    names.emplace_back(prop->Name);
  const std::vector<std::string> expected = {
      "Name",         "Tag",      "RegistryRoot",         "SecondRegistryRoot",
      "RegistryPath", "INIFile",  "INIFileSectionPrefix", "Components",
      "SetValue",     "GetValue", "BeforeProcessItem"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(GetEnumProp(wreg, "RegistryRoot"), "rrHKEY_LOCAL_MACHINE");
  EXPECT_EQ(GetEnumProp(wreg, "SecondRegistryRoot"), "rrHKEY_CURRENT_USER");
  EXPECT_EQ(GetStrProp(wreg, "RegistryPath"), "\\Software\\Company name\\App name");
  EXPECT_EQ(GetStrProp(wreg, "INIFile"), "");
  EXPECT_EQ(GetStrProp(wreg, "INIFileSectionPrefix"), "");
  EXPECT_EQ(wreg.Components().Count(), 0);
  EXPECT_FALSE(IsEventAssigned(wreg, "SetValue"));
  EXPECT_EQ(wreg.Root(), nullptr);
}

TEST(WregComponent, RegistryRootsAreNumberedAsTheRegistryRoots) {
  EXPECT_EQ(static_cast<int>(rrHKEY_CLASSES_ROOT), static_cast<int>(platform::RegistryRoot::kClassesRoot));
  EXPECT_EQ(static_cast<int>(rrHKEY_CURRENT_CONFIG),
            static_cast<int>(platform::RegistryRoot::kCurrentConfig));
  EXPECT_EQ(static_cast<int>(rrNone), static_cast<int>(platform::RegistryRoot::kNone));
  EXPECT_EQ(static_cast<int>(rrNone), 5);
}

TEST(WregComponent, AssigningTheMapCopiesTheLines) {
  TWreg wreg(nullptr);
  TStringList map;
  map.Add("Left,Left");
  SetObjectProp(wreg, "Components", &map);
  map.Add("Top,Top");
  ASSERT_EQ(wreg.Components().Count(), 1);
  EXPECT_EQ(wreg.Components()[0], "Left,Left");
  auto* owned = new TTestCombo(&wreg);
  EXPECT_EQ(wreg.Components(0), owned);
}

// --- Path resolution
// ------------------------------------------------------------------------------------------

TEST_F(WregTest, ResolvesPropertyPathsAsTheWorkedExamplesShow) {
  FormFixture f;
  TTestForm app_form(&Application());
  app_form.SetName("WregAppForm");
  auto* app_edit = new TTestEdit(&app_form);
  app_edit->SetName("appedit");
  struct Case {
    const char* path;
    const char* name;
    TTypeKind kind;
    bool require;
    bool is_virtual;
  };
  const Case cases[] = {
      {"Left", "Left", tkInteger, true, false},
      {"var1.Text", "Text", tkLString, true, false},
      {"var1.Font.Size", "Size", tkFloat, true, false},
      // Only the first component name is looked up among owned components; then only object
      // properties lead on.
      {"panel.edit.Text", "edit", tkUnknown, true, false},
      {"Settings.Mode", "", tkUnknown, false, true},
      {"Colour", "Colour", tkUnknown, true, false},
      {"cbMode.*ItemIndex", "*ItemIndex", tkUnknown, true, false},
      {"WregAppForm.appedit.Text", "Text", tkLString, true, false},
      {"Form1.var1.Text", "", tkUnknown, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto wreg = MakeWreg({std::string(c.path) + ",Value"});
    int calls = 0;
    wreg->BeforeProcessItem = [&](TObject& sender, const std::string& name, int32_t index, bool& require,
                                  bool& is_virtual, TTypeKind& kind) {
      ++calls;
      EXPECT_EQ(&sender, wreg.get());
      EXPECT_EQ(wreg->Root(), f.form.get());
      EXPECT_EQ(name, c.name);
      EXPECT_EQ(index, 0);
      EXPECT_EQ(require, c.require);
      EXPECT_EQ(is_virtual, c.is_virtual);
      EXPECT_EQ(kind, c.kind);
      require = false;
    };
    ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(wreg->Root(), nullptr);
  }
}

TEST_F(WregTest, UnsetNestedObjectLeavesTheLineUnresolved) {
  FormFixture f;
  f.form->Buddy = nullptr;
  auto wreg = MakeWreg({"Buddy.Name,B"});
  std::string seen = "unset";
  bool is_virtual_seen = false;
  wreg->BeforeProcessItem = [&](TObject&, const std::string& name, int32_t, bool&, bool& is_virtual,
                                TTypeKind&) {
    seen = name;
    is_virtual_seen = is_virtual;
  };
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(seen, "");
  EXPECT_TRUE(is_virtual_seen);
}

// --- Map lines and the INI layout
// ------------------------------------------------------------------------------

TEST_F(WregTest, SavesEachMapLineUnderItsSectionAndKey) {
  struct Case {
    const char* prefix;
    const char* line;
    const char* file;
  };
  const Case cases[] = {
      {"", "Left,Left", "[Common]\r\nLeft=12\r\n\r\n"},
      {"", "var1.Text,Var1", "[Common]\r\nVar1=+a  b+\r\n\r\n"},
      {"", "Left,Filter\\Type1", "[Filter]\r\nType1=12\r\n\r\n"},
      {"", "Left,A\\B\\Name", "[A.B]\r\nName=12\r\n\r\n"},
      {"P", "var1.Text,Var1", "[P.Common]\r\nVar1=+a  b+\r\n\r\n"},
      {"M2", "Left,Filter\\Type1", "[M2.Filter]\r\nType1=12\r\n\r\n"},
      {"", "  Left , Left  ,ignored", "[Common]\r\nLeft=12\r\n\r\n"},
      {"", "Left,Outer\\\\Inner", "[Common]\r\nOuter=12\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FormFixture f;
    f.form->Left = 12;
    f.var1->Text = " a  b ";
    const std::string ini = IniPath();
    std::filesystem::remove(ini);
    auto wreg = MakeWreg({c.line}, ini);
    wreg->SetINIFileSectionPrefix(c.prefix);
    ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
    EXPECT_EQ(ReadFile(ini), c.file);
  }
}

TEST_F(WregTest, SkipsCommentsLinesWithoutPathAndUnknownPropertiesSilently) {
  FormFixture f;
  f.form->Left = 3;
  const std::string ini = IniPath();
  auto wreg = MakeWreg({";Left,Left", ",Nothing", "", "  ", "Colour,Colour", "Left,Kept"}, ini);
  std::vector<int32_t> indexes;
  wreg->BeforeProcessItem = [&](TObject&, const std::string&, int32_t index, bool&, bool&, TTypeKind&) {
    indexes.push_back(index);
  };
#if !defined(_WIN32)
  ::testing::internal::CaptureStderr();
#endif
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
#if !defined(_WIN32)
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
#endif
  EXPECT_EQ(indexes, (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nKept=3\r\n\r\n");
}

TEST_F(WregTest, EmptyKeyPathNeverErasesAnIniSection) {
  FormFixture f;
  f.form->Left = 9;
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nOther=1\r\n\r\n");
  auto wreg = MakeWreg({"Left,", "Left", "Left,\\Name", "Caption,  "}, ini);
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nOther=1\r\n\r\n");
  f.form->Left = 0;
  ASSERT_TRUE(wreg->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Left, 0);
}

TEST_F(WregTest, EmptyKeyPathUsesTheRegistryKeysDefaultValue) {
  FormFixture f;
  f.form->Caption = "default";
  auto wreg = MakeWreg({"Caption,"});
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  std::string stored;
  ASSERT_TRUE(Key().ReadString("", &stored));
  EXPECT_EQ(stored, "default");
}

// --- Round trips
// ------------------------------------------------------------------------------------------------

// Form1 is owned by the application, as forms are, so its references and "Form1.var1..." paths resolve
// without a root.
const std::vector<std::string> kFullMap = {
    "Left,Left",
    "Ratio,Geometry\\Ratio",
    "Caption,Caption",
    "Visible,Visible",
    "Position,Position",
    "Anchors,Anchors",
    "Lines,Lines",
    "Buddy,Buddy",
    "var1.Text,Var1",
    "var1.Font.Size,FontSize",
    "Form1.var1.Font.Size,Size2",
};

void FillForm(FormFixture& f) {
  f.form->Left = -17;
  f.form->Ratio = 0.1 + 0.2;
  f.form->Caption = " 50% + more\r\n";
  f.form->Visible = true;
  f.form->Position = TPlacement::poDesktopCenter;
  f.form->Anchors = 3;
  f.form->Lines.SetText("x\r\n y \r\n");
  f.form->Buddy = f.target;
  f.var1->Text = "%zz";
  f.var1->Font.Size = 10.5;
}

void ClearForm(FormFixture& f) {
  f.form->Left = 0;
  f.form->Ratio = 0;
  f.form->Caption.clear();
  f.form->Visible = false;
  f.form->Position = TPlacement::poDesigned;
  f.form->Anchors = 4;
  f.form->Lines.Clear();
  f.form->Buddy = nullptr;
  f.var1->Text.clear();
  f.var1->Font.Size = 0;
}

void ExpectFilled(const FormFixture& f) {
  EXPECT_EQ(f.form->Left, -17);
  EXPECT_EQ(f.form->Ratio, 0.1 + 0.2);
  EXPECT_EQ(f.form->Caption, " 50% + more\r\n");
  EXPECT_TRUE(f.form->Visible);
  EXPECT_EQ(f.form->Position, TPlacement::poDesktopCenter);
  EXPECT_EQ(f.form->Anchors, 4u);  // sets are not stored
  EXPECT_EQ(f.form->Lines.Text(), "x\r\n y \r\n");
  EXPECT_EQ(f.form->Buddy, f.target);
  EXPECT_EQ(f.var1->Text, "%zz");
  EXPECT_EQ(f.var1->Font.Size, 10.5);
}

TEST_F(WregTest, IniRoundTripRestoresEveryKind) {
  FormFixture f(&Application());
  FillForm(f);
  const std::string ini = IniPath();
  ASSERT_TRUE(MakeWreg(kFullMap, ini)->SaveToStore(f.form.get()));
  const std::string file = ReadFile(ini);
  EXPECT_NE(file.find("Left=-17\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Caption=+50%% %2B more%0D%0A\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Visible=True\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Position=poDesktopCenter\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Lines=x%0D%0A y %0D%0A\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Buddy=Application.Form1.Target\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Var1=%%zz\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("FontSize=10.5\r\nSize2=10.5\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("[Geometry]\r\nRatio="), std::string::npos) << file;
  EXPECT_EQ(file.find("Anchors"), std::string::npos) << file;

  ClearForm(f);
  ASSERT_TRUE(MakeWreg(kFullMap, ini)->LoadFromStore(f.form.get()));
  ExpectFilled(f);
}

TEST_F(WregTest, RegistryRoundTripRestoresEveryKindWithTheRightValueTypes) {
  FormFixture f(&Application());
  FillForm(f);
  ASSERT_TRUE(MakeWreg(kFullMap)->SaveToStore(f.form.get()));
  platform::RegistryKey key = Key();
  EXPECT_EQ(key.Type("Left"), platform::ValueKind::kDword);
  EXPECT_EQ(key.Type("Caption"), platform::ValueKind::kString);
  EXPECT_EQ(key.Type("Visible"), platform::ValueKind::kString);
  EXPECT_EQ(key.Type("Anchors"), platform::ValueKind::kNone);
  EXPECT_EQ(key.Type("FontSize"), platform::ValueKind::kBinary);
  std::string caption;
  ASSERT_TRUE(key.ReadString("Caption", &caption));
  EXPECT_EQ(caption, "+50%% %2B more%0D%0A");
  double ratio = 0;
  ASSERT_TRUE(Key("Geometry").ReadBinary("Ratio", &ratio, sizeof ratio));
  EXPECT_EQ(ratio, 0.1 + 0.2);

  ClearForm(f);
  ASSERT_TRUE(MakeWreg(kFullMap)->LoadFromStore(f.form.get()));
  ExpectFilled(f);
}

TEST_F(WregTest, WithoutARootOnlyApplicationOwnedPathsResolve) {
  FormFixture f(&Application());
  f.var1->Text = "through the application";
  f.form->Left = 3;
  const std::string ini = IniPath();
  auto wreg = MakeWreg({"Form1.var1.Text,Var1", "Left,Left"}, ini);
  ASSERT_TRUE(wreg->SaveToStore(nullptr));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nVar1=through the application\r\n\r\n");
  f.var1->Text.clear();
  ASSERT_TRUE(wreg->LoadFromStore(nullptr));
  EXPECT_EQ(f.var1->Text, "through the application");
}

TEST_F(WregTest, MissingEntriesLeaveThePropertiesUntouched) {
  FormFixture f;
  f.form->Left = 5;
  f.var1->Text = "keep";
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nOther=1\r\n");
  ASSERT_TRUE(MakeWreg({"Left,Left", "var1.Text,Var1"}, ini)->LoadFromStore(f.form.get()));
  Key({}, true);
  ASSERT_TRUE(MakeWreg({"Left,Left", "var1.Text,Var1"})->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Left, 5);
  EXPECT_EQ(f.var1->Text, "keep");
}

TEST_F(WregTest, VariantPropertiesTravelAsText) {
  FormFixture f;
  f.form->Extra = Variant::FromInt(5);
  const std::string ini = IniPath();
  ASSERT_TRUE(MakeWreg({"Extra,Extra"}, ini)->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nExtra=5\r\n\r\n");
  f.form->Extra = Variant();
  ASSERT_TRUE(MakeWreg({"Extra,Extra"}, ini)->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Extra.ToText(), "5");
}

// A real number stored as text is written as people write it, in the INI file and the registry alike.
TEST_F(WregTest, RealVariantsAreStoredInPlainDecimalsInBothStores) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{100000.0, "100000"}, {0.0001, "0.0001"}, {2.5e-7, "2.5e-07"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FormFixture f;
    f.form->Extra = Variant::FromDouble(c.value);
    const std::string ini = IniPath();
    ASSERT_TRUE(MakeWreg({"Extra,Extra"}, ini)->SaveToStore(f.form.get()));
    EXPECT_EQ(ReadFile(ini), std::string("[Common]\r\nExtra=") + c.text + "\r\n\r\n");
    ASSERT_TRUE(MakeWreg({"Extra,Extra"})->SaveToStore(f.form.get()));
    std::string stored;
    EXPECT_TRUE(Key().ReadString("Extra", &stored));
    EXPECT_EQ(stored, c.text);
  }
}

TEST_F(WregTest, SetsAndEventsAreNeitherReadNorWritten) {
  FormFixture f;
  f.form->Anchors = 1;
  f.form->OnShow = [](TObject&) {};
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nAnchors=[poDesigned]\r\nOnShow=x\r\n");
  ASSERT_TRUE(MakeWreg({"Anchors,Anchors", "OnShow,OnShow"}, ini)->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Anchors, 1u);
  EXPECT_TRUE(f.form->OnShow.Assigned());
  // A property read gives no value for these kinds, so the save removes their entries.
  ASSERT_TRUE(MakeWreg({"Anchors,Anchors", "OnShow,OnShow"}, ini)->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "");
}

TEST_F(WregTest, ValueThatCannotBeWrittenInItsKindIsRemovedFromTheRegistry) {
  Key({}, true).WriteDword("Count", 3);
  FormFixture f;
  auto wreg = MakeWreg({"Settings.Count,Count"});
  wreg->BeforeProcessItem = [](TObject&, const std::string&, int32_t, bool& require, bool&, TTypeKind& kind) {
    require = true;
    kind = tkInteger;
  };
  wreg->GetValue = [](TObject&, const std::string&, int32_t, Variant& value) {
    value = Variant::FromText("many");
  };
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_FALSE(Key().ValueExists("Count"));
}

// --- Reading INI entries
// ------------------------------------------------------------------------------------------

TEST_F(WregTest, IniNumbersLoadFromHexadecimalAndUnparsableTextAsZero) {
  struct Case {
    const char* stored;
    int32_t left;
    double ratio;
  };
  const Case cases[] = {{"0x1F", 31, 0}, {"12abc", 0, 0}, {"-4", -4, -4}, {"2.5", 0, 2.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    FormFixture f;
    f.form->Left = 77;
    f.form->Ratio = 77;
    const std::string ini = IniPath();
    WriteFile(ini, std::string("[Common]\r\nLeft=") + c.stored + "\r\nRatio=" + c.stored + "\r\n");
    ASSERT_TRUE(MakeWreg({"Left,Left", "Ratio,Ratio"}, ini)->LoadFromStore(f.form.get()));
    EXPECT_EQ(f.form->Left, c.left);
    EXPECT_EQ(f.form->Ratio, c.ratio);
  }
}

TEST_F(WregTest, EscapedTextEndingInAnIncompleteEscapeLoadsUnchanged) {
  const std::string stored[] = {"ab%4", "x%zz+y"};
  const std::string loaded[] = {"ab%4", "x%zz y"};
  for (size_t i = 0; i < std::size(stored); ++i) {
    FormFixture f;
    const std::string ini = IniPath();
    WriteFile(ini, "[Common]\r\nVar1=" + stored[i] + "\r\n");
    ASSERT_TRUE(MakeWreg({"var1.Text,Var1"}, ini)->LoadFromStore(f.form.get()));
    EXPECT_EQ(f.var1->Text, loaded[i]);
  }
}

TEST_F(WregTest, EmptyEnumerationTextLeavesTheProperty) {
  FormFixture f;
  f.form->Position = TPlacement::poScreenCenter;
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nPosition=\r\n");
  ASSERT_TRUE(MakeWreg({"Position,Position"}, ini)->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Position, TPlacement::poScreenCenter);
}

TEST_F(WregTest, BadIniValueIsSkippedAndKept) {
  FormFixture f;
  const std::string ini = IniPath();
  const std::string text = "[Common]\r\nPosition=poNowhere\r\nLeft=4\r\n\r\n";
  WriteFile(ini, text);
#if !defined(_WIN32)
  ::testing::internal::CaptureStderr();
#endif
  ASSERT_TRUE(MakeWreg({"Position,Position", "Left,Left"}, ini)->LoadFromStore(f.form.get()));
#if !defined(_WIN32)
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
#endif
  EXPECT_EQ(f.form->Position, TPlacement::poDesigned);
  EXPECT_EQ(f.form->Left, 4);
  EXPECT_EQ(ReadFile(ini), text);
}

// --- Registry errors and roots
// ------------------------------------------------------------------------------------

TEST_F(WregTest, RegistryValueOfTheWrongTypeIsDeletedOnLoad) {
  struct Case {
    const char* line;
    const char* name;
    void (*store)(platform::RegistryKey&);
  };
  const Case cases[] = {
      {"Left,Left", "Left", [](platform::RegistryKey& k) { k.WriteString("Left", "12"); }},
      {"Ratio,Ratio", "Ratio", [](platform::RegistryKey& k) { k.WriteDword("Ratio", 1); }},
      {"Ratio,Ratio", "Ratio", [](platform::RegistryKey& k) { k.WriteBinary("Ratio", "abcd", 4); }},
      {"Caption,Caption", "Caption", [](platform::RegistryKey& k) { k.WriteDword("Caption", 1); }},
      {"Position,Position", "Position",
       [](platform::RegistryKey& k) { k.WriteString("Position", "poNowhere"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FormFixture f;
    f.form->Left = 6;
    f.form->Ratio = 6;
    f.form->Caption = "six";
    f.form->Position = TPlacement::poScreenCenter;
    platform::RegistryKey key = Key({}, true);
    c.store(key);
    key.WriteDword("Other", 1);
    ASSERT_TRUE(key.ValueExists(c.name));
    ASSERT_TRUE(MakeWreg({c.line, "Other,Other"})->LoadFromStore(f.form.get()));
    EXPECT_FALSE(key.ValueExists(c.name));
    EXPECT_TRUE(key.ValueExists("Other"));
    EXPECT_EQ(f.form->Left, 6);
    EXPECT_EQ(f.form->Ratio, 6);
    EXPECT_EQ(f.form->Caption, "six");
    EXPECT_EQ(f.form->Position, TPlacement::poScreenCenter);
  }
}

TEST_F(WregTest, LoadReturnsFalseWhenTheBaseKeyExistsUnderNeitherRoot) {
  FormFixture f;
  auto wreg = MakeWreg({"Left,Left"});
  wreg->SetRegistryRoot(rrHKEY_USERS);
  wreg->SetSecondRegistryRoot(rrHKEY_CURRENT_USER);
  int calls = 0;
  wreg->BeforeProcessItem = [&](TObject&, const std::string&, int32_t, bool&, bool&, TTypeKind&) { ++calls; };
  EXPECT_FALSE(wreg->LoadFromStore(f.form.get()));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(wreg->Root(), nullptr);
}

TEST_F(WregTest, LoadFallsBackToTheSecondRootWhenTheFirstLacksTheKey) {
  Key({}, true).WriteDword("Left", 44);
  FormFixture f;
  auto wreg = MakeWreg({"Left,Left"});
  wreg->SetRegistryRoot(rrHKEY_USERS);
  wreg->SetSecondRegistryRoot(rrHKEY_CURRENT_USER);
  ASSERT_TRUE(wreg->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Left, 44);
}

TEST_F(WregTest, NoRootFailsAtOnce) {
  Key({}, true).WriteDword("Left", 44);
  FormFixture f;
  auto wreg = MakeWreg({"Left,Left"});
  wreg->SetRegistryRoot(rrNone);
  wreg->SetSecondRegistryRoot(rrHKEY_CURRENT_USER);
  EXPECT_FALSE(wreg->LoadFromStore(f.form.get()));
  EXPECT_FALSE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(f.form->Left, 0);
}

#if !defined(_WIN32)
TEST_F(WregTest, SaveFallsBackToTheSecondRootWhenTheFirstCannotBeWritten) {
  std::string machine_file;
  std::string error;
  ASSERT_TRUE(platform::RegistryRootFile(platform::RegistryRoot::kLocalMachine, &machine_file, &error))
      << error;
  std::filesystem::create_directories(machine_file);  // a folder where the root's file should be
  FormFixture f;
  f.form->Left = 81;
  auto wreg = MakeWreg({"Left,Left"});
  wreg->SetRegistryRoot(rrHKEY_LOCAL_MACHINE);
  wreg->SetSecondRegistryRoot(rrHKEY_CURRENT_USER);
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  uint32_t stored = 0;
  ASSERT_TRUE(Key().ReadDword("Left", &stored));
  EXPECT_EQ(stored, 81u);
  EXPECT_TRUE(std::filesystem::is_directory(machine_file));

  wreg->SetSecondRegistryRoot(rrNone);
  EXPECT_FALSE(wreg->SaveToStore(f.form.get()));
}
#endif

TEST_F(WregTest, LineWhoseKeyCannotBeOpenedOnLoadIsSkipped) {
  Key({}, true).WriteDword("Left", 2);
  FormFixture f;
  f.form->Ratio = 3;
  ASSERT_TRUE(MakeWreg({"Ratio,Missing\\Ratio", "Left,Left"})->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Ratio, 3);
  EXPECT_EQ(f.form->Left, 2);
}

// --- Choosing the store
// ------------------------------------------------------------------------------------------

TEST_F(WregTest, LoadWithAMissingIniFileReadsTheRegistryAndSaveCreatesTheFile) {
  Key({}, true).WriteString("Var1", "from+registry");
  FormFixture f;
  const std::string ini = IniPath("later.ini");
  auto wreg = MakeWreg({"var1.Text,Var1"}, ini);
  ASSERT_TRUE(wreg->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.var1->Text, "from registry");
  EXPECT_FALSE(std::filesystem::exists(ini));
  f.var1->Text = "to file";
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nVar1=to file\r\n\r\n");
  std::string in_registry;
  ASSERT_TRUE(Key().ReadString("Var1", &in_registry));
  EXPECT_EQ(in_registry, "from+registry");
}

TEST_F(WregTest, IniWriteErrorsReachTheCaller) {
  FormFixture f;
  f.form->Left = 1;
  const std::string ini = (scratch_ / "no-such-folder" / "settings.ini").string();
  EXPECT_THROW(MakeWreg({"Left,Left"}, ini)->SaveToStore(f.form.get()), EInOutError);
}

TEST_F(WregTest, IniStoreNeverFailsToOpen) {
  FormFixture f;
  auto wreg = MakeWreg({"Left,Left"}, IniPath());
  wreg->SetRegistryRoot(rrNone);
  EXPECT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_TRUE(wreg->LoadFromStore(f.form.get()));
}

// --- Component references
// ----------------------------------------------------------------------------------------

TEST_F(WregTest, ComponentPathsNameTheOwnersUpToTheApplication) {
  auto app_owned = std::make_unique<TTestEdit>(&Application());
  app_owned->SetName("WregShared");
  FormFixture on_app(&Application());
  FormFixture standalone;
  EXPECT_EQ(GetComponentPath(Application()), "Application");
  EXPECT_EQ(GetComponentPath(*app_owned), "Application.WregShared");
  EXPECT_EQ(GetComponentPath(*on_app.target), "Application.Form1.Target");
  EXPECT_EQ(GetComponentPath(*standalone.nested), "Form1.panel.edit");
  EXPECT_EQ(GetComponentPath(*standalone.form), "Form1");

  EXPECT_EQ(FindComponentByPath("Application.WregShared", nullptr), app_owned.get());
  EXPECT_EQ(FindComponentByPath("application.Form1.Target", standalone.form.get()), on_app.target);
  EXPECT_EQ(FindComponentByPath("panel.edit", standalone.form.get()), standalone.nested);
  EXPECT_EQ(FindComponentByPath("WregShared", standalone.form.get()), app_owned.get());
  EXPECT_EQ(FindComponentByPath("Form1.Target", standalone.form.get()), on_app.target);
  EXPECT_EQ(FindComponentByPath("Nothing.Here", standalone.form.get()), nullptr);
  EXPECT_EQ(FindComponentByPath("", standalone.form.get()), nullptr);
}

TEST_F(WregTest, ReferencesToApplicationComponentsSaveAsApplicationPaths) {
  auto app_owned = std::make_unique<TTestEdit>(&Application());
  app_owned->SetName("WregShared");
  FormFixture on_app(&Application());
  const std::string ini = IniPath();
  on_app.form->Buddy = app_owned.get();
  on_app.form->DockSite = on_app.target;
  ASSERT_TRUE(MakeWreg({"Buddy,Buddy", "DockSite,Dock"}, ini)->SaveToStore(on_app.form.get()));
  EXPECT_EQ(ReadFile(ini),
            "[Common]\r\nBuddy=Application.WregShared\r\nDock=Application.Form1.Target\r\n\r\n");
  on_app.form->Buddy = nullptr;
  on_app.form->DockSite = nullptr;
  ASSERT_TRUE(MakeWreg({"Buddy,Buddy", "DockSite,Dock"}, ini)->LoadFromStore(on_app.form.get()));
  EXPECT_EQ(on_app.form->Buddy, app_owned.get());
  EXPECT_EQ(on_app.form->DockSite, on_app.target);
}

TEST_F(WregTest, LoadingReferenceTextsFollowsTheNullAndNotFoundRules) {
  struct Case {
    const char* stored;
    bool buddy_kept;
    bool dock_kept;
  };
  const Case cases[] = {
      {"[[Null]]", false, true},
      {"", false, false},
      {"NoSuchComponent", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    FormFixture f;
    f.form->Buddy = f.var1;
    f.form->DockSite = f.var1;
    const std::string ini = IniPath();
    WriteFile(ini, std::string("[Common]\r\nBuddy=") + c.stored + "\r\nDock=" + c.stored + "\r\n");
    ASSERT_TRUE(MakeWreg({"Buddy,Buddy", "DockSite,Dock"}, ini)->LoadFromStore(f.form.get()));
    EXPECT_EQ(f.form->Buddy, c.buddy_kept ? f.var1 : nullptr);
    EXPECT_EQ(f.form->DockSite, c.dock_kept ? f.var1 : nullptr);
  }
}

TEST_F(WregTest, NoReferenceIsSavedAsAMissingEntry) {
  FormFixture f;
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nBuddy=Form1.var1\r\nOther=1\r\n");
  f.form->Buddy = nullptr;
  ASSERT_TRUE(MakeWreg({"Buddy,Buddy"}, ini)->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nOther=1\r\n\r\n");
}

// --- Virtual values and the events
// -------------------------------------------------------------------------------

TEST_F(WregTest, VirtualValuesPassThroughTheEventsUnescaped) {
  const std::string ini = IniPath();
  FormFixture f;
  auto wreg = MakeWreg({"; comment", "Settings.Mode,Filter\\Mode", "Settings.Count,Count"}, ini);
  wreg->BeforeProcessItem = [](TObject&, const std::string& name, int32_t index, bool& require,
                               bool& is_virtual, TTypeKind& kind) {
    EXPECT_EQ(name, "");
    EXPECT_TRUE(is_virtual);
    EXPECT_FALSE(require);
    require = true;
    kind = index == 1 ? tkLString : tkInteger;
  };
  std::vector<std::pair<int32_t, std::string>> got;
  wreg->GetValue = [](TObject&, const std::string&, int32_t index, Variant& value) {
    value = index == 1 ? Variant::FromText(" 50% ") : Variant::FromInt(7);
  };
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "[Filter]\r\nMode= 50% \r\n\r\n[Common]\r\nCount=7\r\n\r\n");

  wreg->SetValue = [&](TObject& sender, const std::string&, int32_t index, const Variant& value) {
    EXPECT_EQ(&sender, wreg.get());
    got.emplace_back(index, value.ToText());
  };
  ASSERT_TRUE(wreg->LoadFromStore(f.form.get()));
  EXPECT_EQ(got, (std::vector<std::pair<int32_t, std::string>>{{1, " 50% "}, {2, "7"}}));
}

TEST_F(WregTest, VirtualLineWithoutAnItemTypeIsSkipped) {
  const std::string ini = IniPath();
  FormFixture f;
  auto wreg = MakeWreg({"Settings.Mode,Mode"}, ini);
  wreg->BeforeProcessItem = [](TObject&, const std::string&, int32_t, bool& require, bool&, TTypeKind&) {
    require = true;
  };
  int asked = 0;
  wreg->GetValue = [&](TObject&, const std::string&, int32_t, Variant& value) {
    ++asked;
    value = Variant::FromText("x");
  };
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(std::filesystem::exists(ini) && ReadFile(ini).find("Mode") != std::string::npos);
}

TEST_F(WregTest, UnassignedGetValueRemovesTheStoredEntry) {
  platform::RegistryKey key = Key({}, true);
  key.WriteString("Mode", "old");
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nMode=old\r\nOther=1\r\n");
  for (const std::string& file : {std::string(), ini}) {
    FormFixture f;
    auto wreg = MakeWreg({"Settings.Mode,Mode"}, file);
    wreg->BeforeProcessItem = [](TObject&, const std::string&, int32_t, bool& require, bool&,
                                 TTypeKind& kind) {
      require = true;
      kind = tkLString;
    };
    wreg->GetValue = [](TObject&, const std::string&, int32_t, Variant&) {};
    ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  }
  EXPECT_FALSE(key.ValueExists("Mode"));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nOther=1\r\n\r\n");
}

TEST_F(WregTest, BeforeProcessItemCanStopAResolvedLine) {
  FormFixture f;
  f.form->Left = 1;
  f.form->Caption = "c";
  const std::string ini = IniPath();
  auto wreg = MakeWreg({"Left,Left", "Caption,Caption"}, ini);
  wreg->BeforeProcessItem = [](TObject&, const std::string& name, int32_t, bool& require, bool&, TTypeKind&) {
    if (name == "Left") require = false;
  };
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nCaption=c\r\n\r\n");
}

#if !defined(_WIN32)
TEST_F(WregTest, EventErrorsAreShownAndTheNextLineFollows) {
  FormFixture f;
  f.form->Left = 2;
  const std::string ini = IniPath();
  auto wreg = MakeWreg({"Settings.Mode,Filter\\Mode", "Left,Left"}, ini);
  wreg->BeforeProcessItem = [](TObject&, const std::string&, int32_t, bool& require, bool&, TTypeKind& kind) {
    require = true;
    if (kind == tkUnknown) kind = tkLString;
  };
  wreg->GetValue = [](TObject&, const std::string&, int32_t, Variant&) { throw std::runtime_error("boom"); };
  wreg->SetValue = [](TObject&, const std::string&, int32_t, const Variant&) {
    throw std::runtime_error("bang");
  };
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(wreg->SaveToStore(f.form.get()));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "wreg test: Error while accessing: 1,Mode [boom]\n");
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nLeft=2\r\n\r\n");

  WriteFile(ini, "[Filter]\r\nMode=x\r\n[Common]\r\nLeft=5\r\n");
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(wreg->LoadFromStore(f.form.get()));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "wreg test: Error while accessing: 0,Mode [bang]\n");
  EXPECT_EQ(f.form->Left, 5);
}
#endif

// The box of a line's error is an error box with the application's title as its caption.
TEST_F(WregTest, AccessErrorsShowAnErrorBoxCaptionedWithTheApplicationTitle) {
  struct Shown {
    std::string text, caption;
    platform::MessageIcon icon;
  };
  std::vector<Shown> shown;
  platform::SetMessageBoxHandler([&](const char* text, const char* caption, platform::MessageIcon icon) {
    shown.push_back(Shown{text, caption, icon});
    return true;
  });
  FormFixture f;
  auto wreg = MakeWreg({"Settings.Mode,Filter\\Mode"}, IniPath());
  wreg->BeforeProcessItem = [](TObject&, const std::string&, int32_t, bool& require, bool&, TTypeKind& kind) {
    require = true;
    kind = tkLString;
  };
  wreg->GetValue = [](TObject&, const std::string&, int32_t, Variant&) { throw std::runtime_error("boom"); };
  EXPECT_TRUE(wreg->SaveToStore(f.form.get()));
  platform::SetMessageBoxHandler({});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Error while accessing: 1,Mode [boom]");
  EXPECT_EQ(shown[0].caption, "wreg test");
  EXPECT_EQ(shown[0].icon, platform::MessageIcon::kError);
}

#if !defined(_WIN32)
// A save whose file replacement fails keeps the stored settings: the registry store passes over the
// failed values without a message (a failed write drops the value, and dropping fails the same way), the
// INI store raises the error to the caller. A later save stores everything.
TEST_F(WregTest, FailedFileReplacementsKeepTheStoredSettings) {
  FormFixture f;
  f.form->Left = 3;
  f.form->Caption = "before";
  ASSERT_TRUE(MakeWreg({"Left,Left", "Caption,Caption"})->SaveToStore(f.form.get()));
  std::string root_file;
  ASSERT_TRUE(platform::RegistryRootFile(platform::RegistryRoot::kCurrentUser, &root_file, nullptr));
  const std::string registry_before = ReadFile(root_file);
  const std::string ini = IniPath();
  ASSERT_TRUE(MakeWreg({"Left,Left", "Caption,Caption"}, ini)->SaveToStore(f.form.get()));
  const std::string ini_before = ReadFile(ini);

  f.form->Left = 4;
  f.form->Caption = "after";
  testing::FaultyFileSystem faulty;
  {
    testing::InstalledFileSystem installed(&faulty);
    faulty.fail = testing::Step::kRename;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(MakeWreg({"Left,Left", "Caption,Caption"})->SaveToStore(f.form.get()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_GE(faulty.renames, 2) << "every line tried to save";
    faulty.fail = testing::Step::kNoSpace;
    EXPECT_THROW(MakeWreg({"Left,Left", "Caption,Caption"}, ini)->SaveToStore(f.form.get()), EInOutError);
  }
  EXPECT_EQ(ReadFile(root_file), registry_before);
  EXPECT_EQ(ReadFile(ini), ini_before);

  ASSERT_TRUE(MakeWreg({"Left,Left", "Caption,Caption"})->SaveToStore(f.form.get()));
  f.form->Left = 0;
  f.form->Caption.clear();
  ASSERT_TRUE(MakeWreg({"Left,Left", "Caption,Caption"})->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.form->Left, 4);
  EXPECT_EQ(f.form->Caption, "after");
}
#endif

TEST_F(WregTest, BeforeProcessItemErrorsEndTheOperationButTheIniStoreStillWrites) {
  FormFixture f;
  f.form->Left = 8;
  const std::string ini = IniPath();
  auto wreg = MakeWreg({"Left,Left", "Caption,Caption"}, ini);
  wreg->BeforeProcessItem = [](TObject&, const std::string& name, int32_t, bool&, bool&, TTypeKind&) {
    if (name == "Caption") throw std::runtime_error("stop");
  };
  EXPECT_THROW(wreg->SaveToStore(f.form.get()), std::runtime_error);
  EXPECT_EQ(wreg->Root(), nullptr);
  EXPECT_EQ(ReadFile(ini), "[Common]\r\nLeft=8\r\n\r\n");
}

// --- Custom property handlers
// -------------------------------------------------------------------------------------

// Serves TTestCombo::ItemIndex, recording the calls it gets.
class TTestComboProp : public TWregCustomProp {
 public:
  explicit TTestComboProp(std::vector<std::string>* log) : log_(log) {}
  bool GetValue(TObject& component, const std::string& name, bool flag, Variant& value) override {
    log_->push_back("get " + name + (flag ? " 1" : " 0"));
    auto* combo = dynamic_cast<TTestCombo*>(&component);
    if (combo == nullptr) return false;
    if (combo->ItemIndex == -99) throw std::runtime_error("broken box");
    value = Variant::FromInt(combo->ItemIndex);
    return true;
  }
  void SetValue(TObject& component, const std::string& name, const Variant& value) override {
    log_->push_back("set " + name + " '" + value.ToText() + "'");
    auto* combo = dynamic_cast<TTestCombo*>(&component);
    if (combo != nullptr && !value.ToText().empty()) combo->ItemIndex = value.ToInt();
  }

 private:
  std::vector<std::string>* log_;
};

// Registers for one test and unregisters again, so other tests see the process list unchanged.
class ScopedCustomProp {
 public:
  ScopedCustomProp(std::string_view name, std::unique_ptr<TWregCustomProp> handler)
      : handler_(RegisterCustomProp(name, tkInteger, std::move(handler))) {}
  ~ScopedCustomProp() { EXPECT_TRUE(UnregisterCustomProp(handler_)); }
  ScopedCustomProp(const ScopedCustomProp&) = delete;
  ScopedCustomProp& operator=(const ScopedCustomProp&) = delete;

 private:
  TWregCustomProp* handler_;
};

TEST_F(WregTest, CustomHandlersServeStarNamesAsStrings) {
  std::vector<std::string> log;
  ScopedCustomProp prop("ItemIndex", std::make_unique<TTestComboProp>(&log));
  FormFixture f;
  f.combo->ItemIndex = 2;
  ASSERT_TRUE(MakeWreg({"cbMode.*ITEMINDEX,Mode", "var1.*ItemIndex,NotACombo", "cbMode.*Other,Other"})
                  ->SaveToStore(f.form.get()));
  platform::RegistryKey key = Key();
  EXPECT_EQ(key.Type("Mode"), platform::ValueKind::kString);
  std::string stored;
  ASSERT_TRUE(key.ReadString("Mode", &stored));
  EXPECT_EQ(stored, "2");
  EXPECT_FALSE(key.ValueExists("NotACombo"));
  EXPECT_FALSE(key.ValueExists("Other"));
  EXPECT_EQ(log, (std::vector<std::string>{"get itemindex 1", "get itemindex 1"}));

  log.clear();
  f.combo->ItemIndex = -1;
  ASSERT_TRUE(MakeWreg({"cbMode.*ItemIndex,Mode", "cbMode.*ItemIndex,Missing"})->LoadFromStore(f.form.get()));
  EXPECT_EQ(f.combo->ItemIndex, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"set itemindex '2'", "set itemindex ''"}));
}

TEST_F(WregTest, EveryMatchingCustomHandlerRunsInRegistrationOrder) {
  std::vector<std::string> first;
  std::vector<std::string> second;
  ScopedCustomProp a("itemindex", std::make_unique<TTestComboProp>(&first));
  ScopedCustomProp b("ItemIndex", std::make_unique<TTestComboProp>(&second));
  FormFixture f;
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nMode=1\r\n");
  ASSERT_TRUE(MakeWreg({"cbMode.*ItemIndex,Mode"}, ini)->LoadFromStore(f.form.get()));
  EXPECT_EQ(first, (std::vector<std::string>{"set itemindex '1'"}));
  EXPECT_EQ(second, (std::vector<std::string>{"set itemindex '1'"}));
  EXPECT_EQ(f.combo->ItemIndex, 1);
}

#if !defined(_WIN32)
TEST_F(WregTest, CustomHandlerErrorsAreShown) {
  std::vector<std::string> log;
  ScopedCustomProp prop("ItemIndex", std::make_unique<TTestComboProp>(&log));
  FormFixture f;
  f.combo->ItemIndex = -99;
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(MakeWreg({"cbMode.*ItemIndex,Filter\\Mode"}, IniPath())->SaveToStore(f.form.get()));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "wreg test: Error while accessing: 1,Mode [broken box]\n");
}
#endif

// Registers another handler from a second thread while it runs, and records whether that finished.
class TBlockingProp : public TWregCustomProp {
 public:
  void SetValue(TObject&, const std::string&, const Variant&) override {
    registrar = std::thread([this] {
      other = RegisterCustomProp("wreg-blocking-other", tkInteger, std::make_unique<TWregCustomProp>());
      registered.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    registered_while_running = registered.load();
  }
  std::thread registrar;
  std::atomic<bool> registered{false};
  bool registered_while_running = true;
  TWregCustomProp* other = nullptr;
};

TEST_F(WregTest, HandlerLockIsHeldWhileALinesHandlersRun) {
  auto owned = std::make_unique<TBlockingProp>();
  TBlockingProp* prop = owned.get();
  ScopedCustomProp scoped("Blocking", std::move(owned));
  FormFixture f;
  const std::string ini = IniPath();
  WriteFile(ini, "[Common]\r\nMode=1\r\n");
  ASSERT_TRUE(MakeWreg({"cbMode.*Blocking,Mode"}, ini)->LoadFromStore(f.form.get()));
  ASSERT_TRUE(prop->registrar.joinable());
  prop->registrar.join();
  EXPECT_FALSE(prop->registered_while_running);
  EXPECT_TRUE(prop->registered.load());
  EXPECT_TRUE(UnregisterCustomProp(prop->other));
}

TEST(WregCustomProps, BaseHandlerServesNothing) {
  TWregCustomProp base;
  TTestCombo combo(nullptr);
  Variant value;
  EXPECT_FALSE(base.GetValue(combo, "itemindex", true, value));
  EXPECT_TRUE(IsMissing(value));
  base.SetValue(combo, "itemindex", Variant::FromText("3"));
  EXPECT_EQ(combo.ItemIndex, -1);
}

TEST(WregCustomProps, RegistrationFromManyThreadsKeepsEveryHandler) {
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::vector<std::vector<TWregCustomProp*>> registered(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&registered, t] {
      for (int i = 0; i < kEach; ++i) {
        registered[static_cast<size_t>(t)].push_back(
            RegisterCustomProp("wreg-thread-test", tkInteger, std::make_unique<TWregCustomProp>()));
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  int removed = 0;
  for (const auto& list : registered) {
    for (TWregCustomProp* handler : list)
      removed += UnregisterCustomProp(handler) ? 1 : 0;
  }
  EXPECT_EQ(removed, kThreads * kEach);
  EXPECT_FALSE(UnregisterCustomProp(registered[0][0]));
}

}  // namespace
}  // namespace kvo::testing
