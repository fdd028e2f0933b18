// Reading and writing published properties through variants, identifiers, set texts and objects.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "platform/oleaut.h"
#include "runtime/properties.h"
#include "runtime/runtime_errors.h"
#include "sample_classes.h"

namespace kvo::testing {
namespace {

struct WriteCase {
  std::string_view prop;
  Variant input;
  uint16_t read_type;     // type code read back
  std::string_view read;  // text of the value read back
};

void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << c.prop << " <- " << c.input.ToText();
}

class PropertyWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(PropertyWrite, StoresConvertedValueAndReadsItBackInItsKind) {
  TDialGauge gauge(nullptr);
  const WriteCase& c = GetParam();
  SetPropValue(gauge, c.prop, c.input);
  const Variant read = GetPropValue(gauge, c.prop);
  EXPECT_EQ(read.type(), c.read_type);
  EXPECT_EQ(read.ToText(), c.read);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PropertyWrite,
    ::testing::Values(WriteCase{"Width", Variant::FromInt(7), platform::kVtI4, "7"},
                      WriteCase{"width", Variant::FromText("12"), platform::kVtI4, "12"},
                      WriteCase{"Width", Variant::FromDouble(3.0), platform::kVtI4, "3"},
                      WriteCase{"Tag", Variant::FromInt(-9999), platform::kVtI4, "-9999"},
                      WriteCase{"Caption", Variant::FromText("hello"), platform::kVtBstr, "hello"},
                      WriteCase{"Caption", Variant::FromInt(5), platform::kVtBstr, "5"},
                      WriteCase{"Caption", Variant::FromAnsiString("ansi"), platform::kVtBstr, "ansi"},
                      WriteCase{"Visible", Variant::FromBool(false), platform::kVtBool, "False"},
                      WriteCase{"Visible", Variant::FromText("false"), platform::kVtBool, "False"},
                      WriteCase{"Visible", Variant::FromText("TRUE"), platform::kVtBool, "True"},
                      WriteCase{"Visible", Variant::FromInt(0), platform::kVtBool, "False"},
                      WriteCase{"Ratio", Variant::FromDouble(1.25), platform::kVtR8, "1.25"},
                      WriteCase{"Ratio", Variant::FromInt(2), platform::kVtR8, "2"},
                      WriteCase{"Shade", Variant::FromInt(2), platform::kVtI4, "2"},
                      WriteCase{"Shade", Variant::FromText("shdark"), platform::kVtI4, "2"},
                      WriteCase{"Shade", Variant::FromText(" shNone "), platform::kVtI4, "0"},
                      WriteCase{"Shades", Variant::FromInt(5), platform::kVtI4, "5"},
                      WriteCase{"Shades", Variant::FromText("[shNone, SHDARK]"), platform::kVtI4, "5"},
                      WriteCase{"Shades", Variant::FromText("[]"), platform::kVtI4, "0"},
                      WriteCase{"RawShades", Variant::FromText("shLight"), platform::kVtI4, "2"},
                      WriteCase{"Extra", Variant::FromText("anything"), platform::kVtBstr, "anything"},
                      WriteCase{"Extra", Variant::FromInt(4), platform::kVtI4, "4"},
                      WriteCase{"Double", Variant::FromInt(10), platform::kVtI4, "10"},
                      WriteCase{"Name", Variant::FromText("dial1"), platform::kVtBstr, "dial1"}));

struct FailCase {
  std::string_view prop;
  Variant input;
};

void PrintTo(const FailCase& c, std::ostream* os) {
  *os << c.prop << " <- type " << c.input.type();
}

class PropertyWriteFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(PropertyWriteFailure, RaisesConvertErrorAndKeepsTheValue) {
  TDialGauge gauge(nullptr);
  const FailCase& c = GetParam();
  const Variant before = GetPropValue(gauge, c.prop);
  EXPECT_THROW(SetPropValue(gauge, c.prop, c.input), EPropertyConvertError);
  EXPECT_EQ(GetPropValue(gauge, c.prop).ToText(), before.ToText());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PropertyWriteFailure,
    ::testing::Values(FailCase{"Width", Variant::FromText("abc")}, FailCase{"Width", Variant::Null()},
                      FailCase{"Width", Variant::FromDouble(1e12)}, FailCase{"Ratio", Variant::FromText("x")},
                      FailCase{"Caption", Variant::Null()}, FailCase{"Visible", Variant::FromText("maybe")},
                      FailCase{"Shade", Variant::FromText("shPurple")},
                      FailCase{"Shade", Variant::FromInt(3)}, FailCase{"Shade", Variant::FromInt(-1)},
                      FailCase{"Shades", Variant::FromText("[shBlue]")},
                      FailCase{"Shades", Variant::FromText("[shNone,]")},
                      FailCase{"Shades", Variant::FromInt(8)}));

TEST(PropertyValue, NameErrorIsAComponentErrorNotAConversion) {
  TDialGauge gauge(nullptr);
  EXPECT_THROW(SetPropValue(gauge, "Name", Variant::FromText("has space")), EComponentError);
}

TEST(PropertyValue, UnknownPropertyRaisesNamingPropertyAndClass) {
  TDialGauge gauge(nullptr);
  try {
    GetPropValue(gauge, "Colour");
    FAIL() << "no exception";
  } catch (const EPropertyError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("Colour"), std::string::npos) << message;
    EXPECT_NE(message.find("TDialGauge"), std::string::npos) << message;
  }
  EXPECT_THROW(SetPropValue(gauge, "Colour", Variant::FromInt(1)), EPropertyError);
  EXPECT_THROW(FindPropInfo(gauge, "Colour"), EPropertyError);
}

TEST(PropertyValue, ConversionErrorNamesTheProperty) {
  TDialGauge gauge(nullptr);
  try {
    SetPropValue(gauge, "ratio", Variant::FromText("x"));
    FAIL() << "no exception";
  } catch (const EPropertyConvertError& error) {
    EXPECT_NE(std::string(error.what()).find("\"Ratio\" of TDialGauge"), std::string::npos) << error.what();
  }
}

TEST(PropertyValue, ReadOnlyPropertyReadsButRefusesWrites) {
  TDialGauge gauge(nullptr);
  gauge.Items().Add("a");
  gauge.Items().Add("b");
  EXPECT_EQ(GetPropValue(gauge, "Count").ToInt(), 2);
  EXPECT_THROW(SetPropValue(gauge, "Count", Variant::FromInt(3)), EPropertyError);
  EXPECT_THROW(SetOrdProp(gauge, "Count", 3), EPropertyError);
  EXPECT_EQ(gauge.Items().Count(), 2);
}

TEST(PropertyValue, FloatPropertyOfSinglePrecisionReadsAsDouble) {
  TDialGauge gauge(nullptr);
  SetPropValue(gauge, "MinVersion", Variant::FromDouble(3.6));
  const Variant read = GetPropValue(gauge, "MinVersion");
  EXPECT_EQ(read.type(), platform::kVtR8);
  EXPECT_NEAR(read.ToDouble(), 3.6, 1e-6);
  EXPECT_FLOAT_EQ(gauge.MinVersion, 3.6F);
  SetFloatProp(gauge, "ratio", 0.125);
  EXPECT_EQ(GetFloatProp(gauge, "Ratio"), 0.125);
  EXPECT_THROW(GetFloatProp(gauge, "Width"), EPropertyError);
}

TEST(PropertyValue, ObjectAndEventPropertiesHaveNoVariantForm) {
  TDialGauge gauge(nullptr);
  EXPECT_THROW(GetPropValue(gauge, "Items"), EPropertyError);
  EXPECT_THROW(SetPropValue(gauge, "Items", Variant::FromText("x")), EPropertyError);
  EXPECT_THROW(GetPropValue(gauge, "OnChange"), EPropertyError);
  EXPECT_THROW(SetPropValue(gauge, "OnChange", Variant::Null()), EPropertyError);
}

TEST(PropertyValue, StringAccessReachesTextAndVariantKindsOnly) {
  TDialGauge gauge(nullptr);
  SetStrProp(gauge, "caption", "Start");
  EXPECT_EQ(gauge.Caption(), "Start");
  EXPECT_EQ(GetStrProp(gauge, "Caption"), "Start");
  gauge.Extra = Variant::FromInt(12);
  EXPECT_EQ(GetStrProp(gauge, "Extra"), "12");
  SetStrProp(gauge, "Extra", "twelve");
  EXPECT_EQ(gauge.Extra.type(), platform::kVtBstr);
  EXPECT_EQ(gauge.Extra.ToText(), "twelve");
  EXPECT_THROW(GetStrProp(gauge, "Width"), EPropertyError);
  EXPECT_THROW(SetStrProp(gauge, "Width", "1"), EPropertyError);
}

TEST(PropertyValue, OrdinalAccessChecksEnumerationAndSetRanges) {
  TDialGauge gauge(nullptr);
  SetOrdProp(gauge, "Shade", 0);
  EXPECT_EQ(gauge.Shade, TShade::shNone);
  EXPECT_THROW(SetOrdProp(gauge, "Shade", 3), EPropertyConvertError);
  EXPECT_EQ(gauge.Shade, TShade::shNone);
  SetOrdProp(gauge, "Shades", 6);
  EXPECT_EQ(gauge.Shades, (TShades{TShade::shLight, TShade::shDark}));
  EXPECT_THROW(SetOrdProp(gauge, "Shades", 9), EPropertyConvertError);
  SetOrdProp(gauge, "Visible", 5);  // any non-zero is true
  EXPECT_TRUE(gauge.Visible);
  EXPECT_EQ(GetOrdProp(gauge, "Visible"), 1);
  EXPECT_THROW(GetOrdProp(gauge, "Ratio"), EPropertyError);
}

TEST(EnumerationByIdentifier, ReadsTheIdentifierOfTheCurrentValue) {
  TDialGauge gauge(nullptr);
  gauge.Shade = TShade::shDark;
  EXPECT_EQ(GetEnumProp(gauge, "shade"), "shDark");
  gauge.Visible = false;
  EXPECT_EQ(GetEnumProp(gauge, "Visible"), "False");
}

TEST(EnumerationByIdentifier, WritesIgnoringLetterCase) {
  TDialGauge gauge(nullptr);
  SetEnumProp(gauge, "Shade", "SHNONE");
  EXPECT_EQ(gauge.Shade, TShade::shNone);
  SetEnumProp(gauge, "Visible", "false");
  EXPECT_FALSE(gauge.Visible);
  SetEnumProp(gauge, "Visible", "True");
  EXPECT_TRUE(gauge.Visible);
}

TEST(EnumerationByIdentifier, UnknownIdentifierRaisesAndKeepsTheValue) {
  TDialGauge gauge(nullptr);
  try {
    SetEnumProp(gauge, "Shade", "shPurple");
    FAIL() << "no exception";
  } catch (const EPropertyConvertError& error) {
    EXPECT_NE(std::string(error.what()).find("shPurple"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("TShade"), std::string::npos) << error.what();
  }
  EXPECT_THROW(SetEnumProp(gauge, "Shade", ""), EPropertyConvertError);
  EXPECT_THROW(SetEnumProp(gauge, "Visible", "Yes"), EPropertyConvertError);
  EXPECT_EQ(gauge.Shade, TShade::shLight);
  EXPECT_TRUE(gauge.Visible);
}

TEST(EnumerationByIdentifier, OtherKindsRefuseIdentifiers) {
  TDialGauge gauge(nullptr);
  EXPECT_THROW(GetEnumProp(gauge, "Width"), EPropertyError);
  EXPECT_THROW(SetEnumProp(gauge, "Shades", "shNone"), EPropertyError);
}

TEST(SetText, ReadsMembersInOrdinalOrder) {
  TDialGauge gauge(nullptr);
  gauge.Shades = TShades{TShade::shDark, TShade::shNone};
  EXPECT_EQ(GetSetProp(gauge, "Shades"), "[shNone,shDark]");
  EXPECT_EQ(GetSetProp(gauge, "Shades", false), "shNone,shDark");
  gauge.Shades = {};
  EXPECT_EQ(GetSetProp(gauge, "Shades"), "[]");
}

TEST(SetText, WritesFromTextAndRefusesUnknownMembers) {
  TDialGauge gauge(nullptr);
  SetSetProp(gauge, "Shades", "[shlight]");
  EXPECT_EQ(gauge.Shades, TShades{TShade::shLight});
  EXPECT_THROW(SetSetProp(gauge, "Shades", "[shLight,shBlue]"), EPropertyConvertError);
  EXPECT_EQ(gauge.Shades, TShades{TShade::shLight});
  SetSetProp(gauge, "RawShades", "shNone,shDark");
  EXPECT_EQ(gauge.RawShades, 5);
}

struct SetTextCase {
  std::string_view text;
  uint32_t mask;
};

class SetTextParsing : public ::testing::TestWithParam<SetTextCase> {};

TEST_P(SetTextParsing, GivesTheMask) {
  EXPECT_EQ(StringToSet(kShadeInfo, GetParam().text), GetParam().mask);
}

INSTANTIATE_TEST_SUITE_P(Texts, SetTextParsing,
                         ::testing::Values(SetTextCase{"[]", 0}, SetTextCase{"", 0}, SetTextCase{" [ ] ", 0},
                                           SetTextCase{"[shNone]", 1}, SetTextCase{"shDark", 4},
                                           SetTextCase{"[ shLight , shDark ]", 6},
                                           SetTextCase{"[shDark,shDark]", 4}));

TEST(SetText, FormatsMasksWithAndWithoutBrackets) {
  EXPECT_EQ(SetToString(kShadeInfo, 0), "[]");
  EXPECT_EQ(SetToString(kShadeInfo, 7), "[shNone,shLight,shDark]");
  EXPECT_EQ(SetToString(kShadeInfo, 2, false), "shLight");
  EXPECT_THROW(StringToSet(kShadeInfo, "[shNone;shDark]"), EPropertyConvertError);
}

TEST(ObjectProperty, GivesTheReferencedObject) {
  TDialGauge gauge(nullptr);
  EXPECT_EQ(GetObjectProp(gauge, "Items"), &gauge.Items());
  EXPECT_EQ(GetObjectProp<TStrings>(gauge, "items"), &gauge.Items());
  EXPECT_EQ(GetObjectProp<TCollection>(gauge, "Items"), nullptr);
  EXPECT_EQ(GetObjectProp(gauge, "Columns"), &gauge.Columns());
  EXPECT_EQ(GetObjectProp(gauge, "Buddy"), nullptr);
  EXPECT_EQ(GetObjectProp(gauge, "Spare"), nullptr);
  gauge.Spare = std::make_unique<TGauge>(nullptr);
  EXPECT_EQ(GetObjectProp(gauge, "Spare"), gauge.Spare.get());
  const PropInfo& items = FindPropInfo(gauge, "Items");
  EXPECT_EQ(items.ClassType, &TStringList::StaticClass);
  EXPECT_THROW(GetObjectProp(gauge, "Width"), EPropertyError);
}

TEST(ObjectProperty, PointerSetterTakesObjectOfTheClassOrNone) {
  TDialGauge gauge(nullptr);
  TGauge other(nullptr);
  SetObjectProp(gauge, "Buddy", &other);
  EXPECT_EQ(gauge.Buddy, &other);
  TDialGauge derived(nullptr);
  SetObjectProp(gauge, "buddy", &derived);
  EXPECT_EQ(gauge.Buddy, &derived);
  SetObjectProp(gauge, "Buddy", nullptr);
  EXPECT_EQ(gauge.Buddy, nullptr);
}

TEST(ObjectProperty, ObjectOfAnotherClassRaisesAndKeepsTheValue) {
  TDialGauge gauge(nullptr);
  TGauge other(nullptr);
  gauge.Buddy = &other;
  TStringList list;
  try {
    SetObjectProp(gauge, "Buddy", &list);
    FAIL() << "no exception";
  } catch (const EPropertyConvertError& error) {
    EXPECT_NE(std::string(error.what()).find("TStringList is not a TGauge"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(gauge.Buddy, &other);
}

TEST(ObjectProperty, ReferenceSetterCopiesAndRefusesNone) {
  TDialGauge gauge(nullptr);
  TStringList source;
  source.SetText("one\r\ntwo\r\n");
  SetObjectProp(gauge, "Items", &source);
  EXPECT_NE(&gauge.Items(), &source);
  EXPECT_EQ(gauge.Items().Text(), "one\r\ntwo\r\n");
  EXPECT_THROW(SetObjectProp(gauge, "Items", nullptr), EPropertyConvertError);
  EXPECT_EQ(gauge.Items().Count(), 2);
  EXPECT_THROW(SetObjectProp(gauge, "Spare", nullptr), EPropertyError);  // read-only
}

TEST(EventProperty, ReportsWhetherAHandlerIsAssigned) {
  TDialGauge gauge(nullptr);
  EXPECT_FALSE(IsEventAssigned(gauge, "OnChange"));
  gauge.OnChange = [](TObject&) {};
  EXPECT_TRUE(IsEventAssigned(gauge, "onchange"));
  gauge.OnChange = nullptr;
  EXPECT_FALSE(IsEventAssigned(gauge, "OnChange"));
  EXPECT_THROW(IsEventAssigned(gauge, "Width"), EPropertyError);
  EXPECT_TRUE(FindPropInfo(gauge, "OnChange").IsReadOnly());
}

}  // namespace
}  // namespace kvo::testing
