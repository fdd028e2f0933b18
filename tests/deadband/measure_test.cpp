// How a value of each kind is measured for absolute and percent items.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deadband/deadband_item.h"
#include "platform/oleaut.h"

namespace kvo {
namespace {

Variant Raw(uint16_t vt, int64_t bits) {
  platform::OleVariant raw{};
  raw.vt = vt;
  raw.llVal = bits;
  return Variant::Adopt(raw);
}

Variant Raw16(uint16_t vt, uint16_t bits) {
  platform::OleVariant raw{};
  raw.vt = vt;
  raw.uiVal = bits;
  return Variant::Adopt(raw);
}

Variant Single(float value) {
  platform::OleVariant raw{};
  raw.vt = platform::kVtR4;
  raw.fltVal = value;
  return Variant::Adopt(raw);
}

TEST(MeasureValue, EachKindMeasuresByValueOrTextLength) {
  struct Case {
    const char* kind;
    Variant value;
    double measure;
  };
  const std::vector<Case> cases = {
      // Numbers and dates by their value.
      {"I2", Raw16(platform::kVtI2, static_cast<uint16_t>(-1234)), -1234},
      {"I4", Variant::FromInt(-70000), -70000},
      {"R4", Single(2.5f), 2.5},
      {"R8", Variant::FromDouble(-0.125), -0.125},
      {"UI1", Raw16(platform::kVtUi1, 200), 200},
      {"DATE", Variant::FromDate(45000.25), 45000.25},
      // Every other kind by the length of its text.
      {"CY 12.5", Raw(platform::kVtCy, 125000), 4},
      {"CY -12.5", Raw(platform::kVtCy, -125000), 5},
      {"CY 100", Raw(platform::kVtCy, 1000000), 3},
      {"BSTR", Variant::FromWide(u"hello"), 5},
      {"BSTR of digits", Variant::FromWide(u"123456"), 6},  // the length, not the number it spells
      {"BSTR accented", Variant::FromWide(u"caf\u00e9"), 4},
      {"BSTR outside the BMP", Variant::FromWide(u"\U0001F600"), 2},
      {"BSTR empty", Variant::FromWide(u""), 0},
      {"BOOL true", Variant::FromBool(true), 4},
      {"BOOL false", Variant::FromBool(false), 5},
      {"I1", Raw16(platform::kVtI1, static_cast<uint8_t>(-100)), 4},
      {"UI2", Raw16(platform::kVtUi2, 65535), 5},
      {"UI4", Raw(platform::kVtUi4, 4000000000), 10},
      {"UI4 zero", Raw(platform::kVtUi4, 0), 1},
      {"I8", Variant::FromInt64(-9007199254740993LL), 17},
      {"I8 minimum", Variant::FromInt64(INT64_MIN), 20},
      {"runtime string", Variant::FromAnsiString("abcd"), 4},
#ifdef _WIN32
      {"runtime string, accented", Variant::FromAnsiString("caf\xE9"), 4},
#else
      {"runtime string, accented", Variant::FromAnsiString("caf\xC3\xA9"),
       4},  // UTF-8: characters, not bytes
#endif
  };
  for (const Case& c : cases) {
    double measure = -999;
    ASSERT_TRUE(MeasureValue(c.value, &measure)) << c.kind;
    EXPECT_EQ(measure, c.measure) << c.kind;
  }
}

TEST(MeasureValue, TextLengthsAgreeWithTheTextForm) {
  // The lengths computed without making the text must match the text the value converts to.
  const std::vector<Variant> values = {Raw16(platform::kVtI1, static_cast<uint8_t>(-128)),
                                       Raw16(platform::kVtUi2, 7),
                                       Raw(platform::kVtUi4, 4294967295),
                                       Variant::FromInt64(INT64_MAX),
                                       Variant::FromInt64(-1),
                                       Variant::FromBool(true),
                                       Raw(platform::kVtCy, -1)};
  for (const Variant& value : values) {
    double measure = -1;
    ASSERT_TRUE(MeasureValue(value, &measure)) << VariantTypeName(value.type());
    EXPECT_EQ(measure, static_cast<double>(value.ToText().size())) << value.ToText();
  }
}

TEST(MeasureValue, EmptyNullAndUnconvertibleValuesHaveNoMeasure) {
  const std::vector<Variant> values = {Variant(), Variant::Null(), Raw(platform::kVtError, 0x80020004)};
  for (const Variant& value : values) {
    double measure = 42;
    EXPECT_FALSE(MeasureValue(value, &measure)) << VariantTypeName(value.type());
    EXPECT_EQ(measure, 42) << VariantTypeName(value.type());
  }
}

}  // namespace
}  // namespace kvo
