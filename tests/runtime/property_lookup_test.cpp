// Finding published properties by name and listing them.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/data_module.h"
#include "runtime/properties.h"
#include "sample_classes.h"

namespace kvo::testing {
namespace {

std::vector<std::string> Names(const std::vector<const PropInfo*>& list) {
  std::vector<std::string> names;
  for (const PropInfo* prop : list)
    names.emplace_back(prop->Name);
  return names;
}

struct LookupCase {
  std::string_view asked;
  std::string_view found;  // "" = not published
  TTypeKind kind;
};

class PropertyLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(PropertyLookup, FindsNameIgnoringCaseThroughBaseClasses) {
  TDialGauge gauge(nullptr);
  const LookupCase& c = GetParam();
  const PropInfo* prop = GetPropInfo(gauge, c.asked);
  if (c.found.empty()) {
    EXPECT_EQ(prop, nullptr);
    EXPECT_FALSE(IsPublishedProp(gauge, c.asked));
    return;
  }
  ASSERT_NE(prop, nullptr);
  EXPECT_EQ(prop->Name, c.found);
  EXPECT_EQ(prop->Kind, c.kind);
  EXPECT_TRUE(IsPublishedProp(gauge, c.asked));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PropertyLookup,
    ::testing::Values(LookupCase{"Ratio", "Ratio", tkFloat},        // own class
                      LookupCase{"rAtIo", "Ratio", tkFloat},        // letter case
                      LookupCase{"WIDTH", "Width", tkInteger},      // base class
                      LookupCase{"caption", "Caption", tkLString},  // base class, case
                      LookupCase{"name", "Name", tkLString},        // component root
                      LookupCase{"TAG", "Tag", tkInteger},          // component root
                      LookupCase{"visible", "Visible", tkEnumeration}, LookupCase{"Shades", "Shades", tkSet},
                      LookupCase{"items", "Items", tkClass}, LookupCase{"extra", "Extra", tkVariant},
                      LookupCase{"onchange", "OnChange", tkMethod}, LookupCase{"Colour", "", tkUnknown},
                      LookupCase{"", "", tkUnknown}, LookupCase{"Ratio ", "", tkUnknown}));

TEST(PropertyLookupRules, LetterCaseIgnoredOnlyForAsciiLetters) {
  TGauge gauge(nullptr);
  EXPECT_EQ(GetPropInfo(gauge,
                        "W\xC3\x8D"
                        "DTH"),
            nullptr);
  EXPECT_NE(GetPropInfo(TGauge::StaticClass, "wIdTh"), nullptr);
}

TEST(PropertyLookupRules, BaseClassDoesNotSeeDerivedProperties) {
  TGauge gauge(nullptr);
  EXPECT_EQ(GetPropInfo(gauge, "Ratio"), nullptr);
  EXPECT_EQ(GetPropInfo(TComponent::StaticClass, "Width"), nullptr);
}

TEST(PropertyLookupRules, LookupUsesTheObjectsDynamicClass) {
  TDialGauge dial(nullptr);
  const TComponent& as_component = dial;
  EXPECT_NE(GetPropInfo(as_component, "Ratio"), nullptr);
  EXPECT_EQ(as_component.ClassName(), "TDialGauge");
}

TEST(PropertyLookupRules, MostDerivedDeclarationWins) {
  TFixedGauge fixed(nullptr);
  const PropInfo* prop = GetPropInfo(fixed, "Width");
  ASSERT_NE(prop, nullptr);
  EXPECT_TRUE(prop->IsReadOnly());
  EXPECT_EQ(GetOrdProp(fixed, "width"), 42);
}

TEST(PropertyList, ListsBaseClassesFirstInDeclarationOrder) {
  TDialGauge gauge(nullptr);
  const std::vector<std::string> expected = {
      "Name",      "Tag",   "Width", "Caption", "Visible", "MinVersion", "Ratio",  "Shade", "Shades",
      "RawShades", "Extra", "Items", "Buddy",   "Spare",   "Columns",    "Double", "Count", "OnChange"};
  EXPECT_EQ(Names(GetPropList(gauge)), expected);
  EXPECT_EQ(Names(GetPropList(TDialGauge::StaticClass)), expected);
}

TEST(PropertyList, RedeclaredPropertyKeepsBasePositionWithDerivedDescriptor) {
  const std::vector<const PropInfo*> list = GetPropList(TFixedGauge::StaticClass);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Name", "Tag", "WIDTH", "Caption", "Visible"}));
  EXPECT_TRUE(list[2]->IsReadOnly());
}

TEST(PropertyList, RuntimeClassesPublishTheirProperties) {
  EXPECT_EQ(Names(GetPropList(TComponent::StaticClass)), (std::vector<std::string>{"Name", "Tag"}));
  EXPECT_EQ(Names(GetPropList(TDataModule::StaticClass)),
            (std::vector<std::string>{"Name", "Tag", "OnCreate"}));
  EXPECT_TRUE(GetPropList(TObject::StaticClass).empty());
}

TEST(ClassInfo, InheritsFromFollowsTheChain) {
  TDialGauge gauge(nullptr);
  EXPECT_TRUE(gauge.InheritsFrom(TGauge::StaticClass));
  EXPECT_TRUE(gauge.InheritsFrom(TPersistent::StaticClass));
  EXPECT_TRUE(gauge.InheritsFrom(TDialGauge::StaticClass));
  EXPECT_FALSE(gauge.InheritsFrom(TFixedGauge::StaticClass));
  EXPECT_FALSE(TGauge::StaticClass.InheritsFrom(TDialGauge::StaticClass));
}

TEST(TypeKinds, KeepTheirStoredNumbers) {
  EXPECT_EQ(static_cast<int>(tkUnknown), 0);
  EXPECT_EQ(static_cast<int>(tkInteger), 1);
  EXPECT_EQ(static_cast<int>(tkEnumeration), 3);
  EXPECT_EQ(static_cast<int>(tkFloat), 4);
  EXPECT_EQ(static_cast<int>(tkSet), 6);
  EXPECT_EQ(static_cast<int>(tkClass), 7);
  EXPECT_EQ(static_cast<int>(tkMethod), 8);
  EXPECT_EQ(static_cast<int>(tkLString), 10);
  EXPECT_EQ(static_cast<int>(tkVariant), 12);
  EXPECT_EQ(static_cast<int>(tkDynArray), 17);
  EXPECT_EQ(static_cast<int>(tkUString), 18);
  EXPECT_EQ(TypeKindName(tkLString), "tkLString");
  EXPECT_EQ(TypeKindName(static_cast<TTypeKind>(200)), "");
}

}  // namespace
}  // namespace kvo::testing
