// The property store and a combo box's selection: stored as its index, restored only from a number.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "forms/combo_box_store.h"
#include "forms/controls.h"
#include "forms/form.h"
#include "settings/wreg.h"

namespace kvo {
namespace {

TComboBox* AddRelationshipBox(TForm& form) {
  auto* box = new TComboBox(&form);
  box->SetName("comboRel");
  box->SetStyle(TComboBoxStyle::csDropDownList);
  box->Items().Add("AND");
  box->Items().Add("OR");
  return box;
}

TEST(ComboBoxStoreHandler, ReadsAndWritesOnlyComboBoxes) {
  TForm form(nullptr);
  TComboBox* box = AddRelationshipBox(form);
  box->SetItemIndex(1);
  TWregComboBoxProp handler;
  Variant value;
  EXPECT_TRUE(handler.GetValue(*box, "ItemIndex", false, value));
  EXPECT_EQ(value.ToInt(), 1);
  EXPECT_FALSE(handler.GetValue(form, "ItemIndex", false, value));

  struct Case {
    Variant stored;
    int32_t expected;
  };
  const Case cases[] = {
      {Variant::FromText("0"), 0},
      {Variant::FromText(" 1 "), 1},
      {Variant::FromText("-1"), -1},
      {Variant::FromText("x"), 1},
      {Variant::FromText("1.5"), 1},
      {Variant::FromText(""), 1},
      {Variant::Null(), 1},
      {Variant(), 1},
      {Variant::FromInt(0), 0},
      {Variant::FromText("-2"), 1},  // the "not a number" marker itself changes nothing
      // The integer forms of the INI store: "0x" and "$" hexadecimal.
      {Variant::FromText("0x0"), 0},
      {Variant::FromText(" 0X0 "), 0},
      {Variant::FromText("$0"), 0},
      {Variant::FromText("0x"), 1},
      {Variant::FromText("$g"), 1},
  };
  for (const Case& c : cases) {
    box->SetItemIndex(1);
    handler.SetValue(*box, "ItemIndex", c.stored);
    EXPECT_EQ(box->ItemIndex(), c.expected) << VariantTypeName(c.stored.type());
  }
}

TEST(ComboBoxStoreHandler, SelectionRoundTripsThroughAnIniSection) {
  RegisterComboBoxStoreHandler();
  RegisterComboBoxStoreHandler();  // a second registration adds nothing
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("kvo-combo-store-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".ini");
  std::filesystem::remove(file);

  TForm form(nullptr);
  form.SetName("frmTest");
  TComboBox* box = AddRelationshipBox(form);
  box->SetItemIndex(1);
  {
    TWreg store(nullptr);
    store.SetINIFile(file.string());
    store.Components().Add("comboRel.ItemIndex,Relationship");
    ASSERT_TRUE(store.SaveToStore(&form));
  }
  {
    // Closed before the file is removed: Windows removes no file that is still open.
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[Common]\r\nRelationship=1\r\n\r\n");
  }

  box->SetItemIndex(0);
  {
    TWreg store(nullptr);
    store.SetINIFile(file.string());
    store.Components().Add("comboRel.ItemIndex,Relationship");
    ASSERT_TRUE(store.LoadFromStore(&form));
  }
  EXPECT_EQ(box->ItemIndex(), 1);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace kvo
