// The SETTING arguments of `kvo-host configure`.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvo-host/setting_args.h"

namespace kvo::host {
namespace {

TEST(SettingArguments, SetSlotsAndRelationship) {
  FilterSettings settings;
  std::string error;
  ASSERT_TRUE(ApplySettingArguments({"Var1=temperature", "Type1=Absolute", "Val1=0.5", "var2=pressure",
                                     "TYPE2=pct", "Val2=2", "Relationship=OR"},
                                    &settings, &error))
      << error;
  EXPECT_EQ(settings.slots[0].name, "temperature");
  EXPECT_EQ(settings.slots[0].type, 0);
  EXPECT_EQ(settings.slots[0].band, 0.5);
  EXPECT_EQ(settings.slots[1].name, "pressure");
  EXPECT_EQ(settings.slots[1].type, 1);
  EXPECT_EQ(settings.slots[1].band, 2.0);
  EXPECT_EQ(settings.relationship, 1);
  EXPECT_TRUE(settings.Active(0));
  EXPECT_FALSE(settings.Active(2));
}

TEST(SettingArguments, EmptyVarClearsTheSlot) {
  FilterSettings settings;
  settings.slots[3] = SlotSetting{"x", 2, 5};
  std::string error;
  ASSERT_TRUE(ApplySettingArguments({"Var4="}, &settings, &error));
  EXPECT_EQ(settings.slots[3].name, "");
  EXPECT_EQ(settings.slots[3].type, -1);
  EXPECT_EQ(settings.slots[3].band, 0.0);
}

struct TypeName {
  const char* text;
  int32_t type;
};
class DeadbandTypeNames : public ::testing::TestWithParam<TypeName> {};
TEST_P(DeadbandTypeNames, Parse) {
  EXPECT_EQ(ParseDeadbandType(GetParam().text), GetParam().type) << GetParam().text;
}
INSTANTIATE_TEST_SUITE_P(Cases, DeadbandTypeNames,
                         ::testing::Values(TypeName{"Absolute", 0}, TypeName{"abs", 0}, TypeName{"0", 0},
                                           TypeName{"PERCENT", 1}, TypeName{"pct", 1},
                                           TypeName{"Time limit (s)", 2}, TypeName{"time", 2},
                                           TypeName{"Count limit", 3}, TypeName{"count", 3}, TypeName{"3", 3},
                                           TypeName{"4", -1}, TypeName{"absolut", -1}, TypeName{"", -1}));

struct Refusal {
  std::string argument;
  std::string message_part;
};
class RefusedArguments : public ::testing::TestWithParam<Refusal> {};
TEST_P(RefusedArguments, NameTheValidValues) {
  FilterSettings settings;
  std::string error;
  EXPECT_FALSE(ApplySettingArguments({"Var1=ok", GetParam().argument}, &settings, &error));
  EXPECT_NE(error.find(GetParam().message_part), std::string::npos) << error;
}
INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedArguments,
    ::testing::Values(Refusal{"Type1=fast", "valid: Absolute (abs, 0), Percent (pct, 1)"},
                      Refusal{"Val1=abc", "not a number"},
                      Refusal{"Relationship=XOR", "valid: AND (0), OR (1)"},
                      Refusal{"Var9=x", "valid: Var1..Var8, Type1..Type8, Val1..Val8, Relationship"},
                      Refusal{"Colour=red", "is not a setting"}, Refusal{"Var1", "is not KEY=VALUE"}));

}  // namespace
}  // namespace kvo::host
