// What the toolkit views take from a form model: control kinds, form coordinates, tab and paint order,
// and help contexts, checked on the options dialog's model.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "deadband/filter_main.h"
#include "view/layout.h"

namespace kvo::view {
namespace {

class OptionsFormLayout : public ::testing::Test {
 protected:
  void SetUp() override { form_.reset(Create<TfrmOption>(nullptr)); }
  TControl& Control(const std::string& name) const {
    auto* control = dynamic_cast<TControl*>(form_->FindComponent(name));
    EXPECT_NE(control, nullptr) << name;
    return *control;
  }
  std::unique_ptr<TfrmOption> form_;
};

struct KindCase {
  const char* name;
  ControlKind kind;
};

TEST_F(OptionsFormLayout, EachControlIsDrawnAsItsClassSays) {
  const KindCase cases[] = {{"Label1", ControlKind::kLabel},  {"panPar", ControlKind::kPanel},
                            {"gbDB", ControlKind::kGroupBox}, {"Bevel6", ControlKind::kBevel},
                            {"btnOK", ControlKind::kButton},  {"comboRel", ControlKind::kComboBox},
                            {"var4", ControlKind::kComboBox}, {"val7", ControlKind::kSpinEdit}};
  for (const KindCase& c : cases)
    EXPECT_EQ(KindOf(Control(c.name)), c.kind) << c.name;
  EXPECT_EQ(KindOf(*form_), ControlKind::kOther);
}

struct RectCase {
  const char* name;
  Rect rect;
};

TEST_F(OptionsFormLayout, RectanglesAreInTheFormsClientCoordinatesInsideItsBorder) {
  // The form's border is 3; gbDB starts below Label1 (65) and panPar (32).
  const RectCase cases[] = {{"Label1", {3, 3, 481, 65}},
                            {"comboRel", {209, 72, 99, 21}},
                            {"var1", {13, 120, 168, 21}},
                            {"type8", {187, 316, 159, 21}},
                            {"val2", {353, 148, 109, 21}}};
  for (const RectCase& c : cases)
    EXPECT_EQ(FormRect(Control(c.name)), c.rect) << c.name;
  EXPECT_EQ(FormRect(*form_), (Rect{0, 0, 487, 430}));
}

TEST_F(OptionsFormLayout, TabGoesThroughTheRowsThenTheButtonsThenTheRelationship) {
  std::vector<std::string> expected;
  for (int n = 1; n <= 8; ++n) {
    for (const char* column : {"var", "type", "val"})
      expected.push_back(column + std::to_string(n));
  }
  expected.insert(expected.end(), {"btnOK", "btnCancel", "comboRel"});
  std::vector<std::string> names;
  for (TWinControl* control : TabSequence(*form_))
    names.push_back(control->Name());
  EXPECT_EQ(names, expected);
}

TEST_F(OptionsFormLayout, ContainersComeBeforeWhatTheyHold) {
  const std::vector<TControl*> order = ControlsInPaintOrder(*form_);
  auto at = [&](const std::string& name) {
    return std::find(order.begin(), order.end(), &Control(name)) - order.begin();
  };
  EXPECT_EQ(order.size(), 33u);  // 9 controls besides the 24 of the rows
  EXPECT_LT(at("gbDB"), at("var1"));
  EXPECT_LT(at("panPar"), at("comboRel"));
  EXPECT_LT(at("pBot"), at("Bevel6"));
  EXPECT_LT(at("Bevel6"), at("btnOK"));
}

TEST_F(OptionsFormLayout, HelpContextIsTheControlsOwnElseItsParentsUpToTheForm) {
  EXPECT_EQ(HelpContextFor(&Control("var5")), 80) << "from the form";
  EXPECT_EQ(HelpContextFor(&Control("btnOK")), 80) << "from pBot";
  Control("gbDB").SetHelpContext(12);
  EXPECT_EQ(HelpContextFor(&Control("var5")), 12) << "the nearest parent's";
  Control("var5").SetHelpContext(7);
  EXPECT_EQ(HelpContextFor(&Control("var5")), 7);
  EXPECT_EQ(HelpContextFor(nullptr), 0);
}

}  // namespace
}  // namespace kvo::view
