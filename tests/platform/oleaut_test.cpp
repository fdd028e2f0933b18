// Tests of BSTR and VARIANT handling; the conversion tables run unchanged against oleaut32 under Windows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iomanip>
#include <sstream>
#include <string>

#include "platform/oleaut.h"

namespace kvo::platform {
namespace {

template <typename T>
OleVariant Of(uint16_t vt, T OleVariant::*field, T value) {
  OleVariant v{};
  v.vt = vt;
  v.*field = value;
  return v;
}

const auto I1 = [](int8_t x) { return Of(kVtI1, &OleVariant::cVal, x); };
const auto Ui1 = [](uint8_t x) { return Of(kVtUi1, &OleVariant::bVal, x); };
const auto I2 = [](int16_t x) { return Of(kVtI2, &OleVariant::iVal, x); };
const auto Ui2 = [](uint16_t x) { return Of(kVtUi2, &OleVariant::uiVal, x); };
const auto I4 = [](int32_t x) { return Of(kVtI4, &OleVariant::lVal, x); };
const auto Ui4 = [](uint32_t x) { return Of(kVtUi4, &OleVariant::ulVal, x); };
const auto I8 = [](int64_t x) { return Of(kVtI8, &OleVariant::llVal, x); };
const auto Cy = [](int64_t scaled) { return Of(kVtCy, &OleVariant::llVal, scaled); };
const auto R4 = [](float x) { return Of(kVtR4, &OleVariant::fltVal, x); };
const auto R8 = [](double x) { return Of(kVtR8, &OleVariant::dblVal, x); };
const auto Date = [](double days) { return Of(kVtDate, &OleVariant::dblVal, days); };
const auto Bool = [](bool x) { return Of(kVtBool, &OleVariant::boolVal, int16_t(x ? -1 : 0)); };
const auto Empty = [] { return Of(kVtEmpty, &OleVariant::llVal, int64_t{0}); };
const auto Null = [] { return Of(kVtNull, &OleVariant::llVal, int64_t{0}); };
const auto Text = [](std::u16string_view text) {
  return Of(kVtBstr, &OleVariant::bstrVal, BstrAlloc(text.data(), static_cast<uint32_t>(text.size())));
};

std::u16string TextOf(Bstr text) {
  return std::u16string(text != nullptr ? text : u"", BstrLength(text));
}

// Type and value, reading only the bytes the type uses (oleaut32 leaves the rest undefined).
std::string Show(const OleVariant& v) {
  std::ostringstream out;
  out << "vt " << v.vt << ": ";
  if (v.vt == kVtBstr) {
    for (char16_t c : TextOf(v.bstrVal)) {
      out << (c < 0x80 ? char(c) : '?');
    }
  } else if (v.vt == kVtR4) {
    out << std::setprecision(9) << v.fltVal;
  } else if (v.vt == kVtR8 || v.vt == kVtDate) {
    out << std::setprecision(17) << v.dblVal;
  } else {
    const size_t size = v.vt == kVtEmpty || v.vt == kVtNull                  ? 0
                        : v.vt == kVtI1 || v.vt == kVtUi1                    ? 1
                        : v.vt == kVtI2 || v.vt == kVtUi2 || v.vt == kVtBool ? 2
                        : v.vt == kVtI4 || v.vt == kVtUi4                    ? 4
                                                                             : 8;
    uint64_t bits = 0;
    std::memcpy(&bits, &v.llVal, size);
    out << "0x" << std::hex << bits;
  }
  return out.str();
}

struct Conversion {
  OleVariant from;
  uint16_t to;
  OleVariant expected;  // ignored when a failure is expected
  int32_t failure = 0;
};

Conversion Fails(OleVariant from, uint16_t to, int32_t failure) {
  return {from, to, Empty(), failure};
}

// Runs each conversion into a destination that starts out owning a string, which must be released.
void Check(std::initializer_list<Conversion> cases) {
  for (const Conversion& c : cases) {
    OleVariant source = c.from, expected = c.expected, dest = Text(u"previous");
    SCOPED_TRACE(Show(source) + " to vt " + std::to_string(c.to));
    const int32_t hr = VariantChangeType(&dest, &source, c.to);
    EXPECT_EQ(hr, c.failure);
    EXPECT_EQ(Show(dest), Show(hr == 0 ? expected : Empty()));
    EXPECT_EQ(VariantClear(&source), 0);
    EXPECT_EQ(VariantClear(&expected), 0);
    EXPECT_EQ(VariantClear(&dest), 0);
  }
}

TEST(OleAut, NumbersConvertWithBankersRounding) {
  Check({{I4(5), kVtR8, R8(5)},
         {R8(2.5), kVtI4, I4(2)},
         {R8(3.5), kVtI4, I4(4)},
         {R8(-2.5), kVtI4, I4(-2)},
         {R8(-3.5), kVtI2, I2(-4)},
         {R8(2.4999), kVtI4, I4(2)},
         {R8(0.5), kVtUi1, Ui1(0)},
         {R8(1.5), kVtUi1, Ui1(2)},
         {R4(6.5f), kVtI8, I8(6)},
         {I4(255), kVtUi1, Ui1(255)},
         {I1(-128), kVtI2, I2(-128)},
         {Ui4(4000000000), kVtI8, I8(4000000000)},
         {R8(0.1), kVtR4, R4(0.1f)},
         {R4(0.5f), kVtR8, R8(0.5)},
         {Ui2(65535), kVtI4, I4(65535)},
         {I8(int64_t{1} << 40), kVtR8, R8(1099511627776.0)}});
}

TEST(OleAut, OutOfRangeNumbersOverflow) {
  Check({Fails(I4(70000), kVtI2, kOleOverflow), Fails(I4(-1), kVtUi1, kOleOverflow),
         Fails(I4(128), kVtI1, kOleOverflow), Fails(Ui4(4294967295), kVtI2, kOleOverflow),
         Fails(I8(int64_t{1} << 31), kVtI4, kOleOverflow), Fails(R8(1e10), kVtI4, kOleOverflow),
         Fails(R8(2147483647.5), kVtI4, kOleOverflow), Fails(R8(-1.0), kVtUi4, kOleOverflow),
         Fails(R8(1e300), kVtR4, kOleOverflow), Fails(R8(1e19), kVtI8, kOleOverflow),
         Fails(R8(1e16), kVtCy, kOleOverflow), Fails(Text(u"99999999999"), kVtI4, kOleOverflow)});
}

TEST(OleAut, SameWidthSignChangeKeepsBits) {
  Check({{I1(-3), kVtUi1, Ui1(253)},
         {Ui1(200), kVtI1, I1(-56)},
         {I2(-5), kVtUi2, Ui2(65531)},
         {Ui2(65535), kVtI2, I2(-1)},
         {I4(-1), kVtUi4, Ui4(4294967295)},
         {Ui4(4294967295), kVtI4, I4(-1)},
         Fails(I2(-5), kVtUi1, kOleOverflow),
         Fails(I4(-1), kVtUi2, kOleOverflow)});
}

TEST(OleAut, RealsBecomeShortestRoundTripText) {
  Check({{R8(0.1), kVtBstr, Text(u"0.1")},
         {R8(1.0 / 3.0), kVtBstr, Text(u"0.3333333333333333")},
         {R8(1e300), kVtBstr, Text(u"1e+300")},
         {R8(-1.5), kVtBstr, Text(u"-1.5")},
         {R8(123456789.0), kVtBstr, Text(u"123456789")},
         {R8(2.5e-7), kVtBstr, Text(u"2.5e-07")},
         {R4(0.1f), kVtBstr, Text(u"0.1")},
         {R4(16777216.0f), kVtBstr, Text(u"16777216")}});
}

TEST(OleAut, IntegersBooleansAndEmptyBecomeText) {
  Check({{I4(-42), kVtBstr, Text(u"-42")},
         {I8(INT64_MIN), kVtBstr, Text(u"-9223372036854775808")},
         {Ui4(4294967295), kVtBstr, Text(u"4294967295")},
         {I1(-5), kVtBstr, Text(u"-5")},
         {Bool(true), kVtBstr, Text(u"True")},
         {Bool(false), kVtBstr, Text(u"False")},
         {Empty(), kVtBstr, Text(u"")}});
}

TEST(OleAut, TextBecomesNumbers) {
  Check({{Text(u" 12 "), kVtI4, I4(12)},
         {Text(u"-7"), kVtI2, I2(-7)},
         {Text(u"+7"), kVtI2, I2(7)},
         {Text(u"2.5"), kVtI4, I4(2)},
         {Text(u"3.5"), kVtI4, I4(4)},
         {Text(u"0.1"), kVtR8, R8(0.1)},
         {Text(u"1e+300"), kVtR8, R8(1e300)},
         {Text(u"-1.25E2"), kVtR8, R8(-125.0)},
         {Text(u"0.1"), kVtR4, R4(0.1f)},
         {Text(u"9223372036854775807"), kVtI8, I8(INT64_MAX)},
         {Text(u"1.2345"), kVtCy, Cy(12345)},
         Fails(Text(u"abc"), kVtI4, kOleTypeMismatch),
         Fails(Text(u""), kVtR8, kOleTypeMismatch),
         Fails(Text(u"12abc"), kVtI4, kOleTypeMismatch),
         Fails(Text(u"True"), kVtI4, kOleTypeMismatch)});
}

TEST(OleAut, BooleansConvertBothWays) {
  Check({{Text(u"True"), kVtBool, Bool(true)},
         {Text(u"false"), kVtBool, Bool(false)},
         {Text(u"TRUE"), kVtBool, Bool(true)},
         {Text(u"0"), kVtBool, Bool(false)},
         {Text(u"2.5"), kVtBool, Bool(true)},
         {I4(2), kVtBool, Bool(true)},
         {R8(0.0), kVtBool, Bool(false)},
         {Cy(1), kVtBool, Bool(true)},
         {Bool(true), kVtI4, I4(-1)},
         {Bool(true), kVtUi1, Ui1(255)},
         {Bool(true), kVtR8, R8(-1.0)},
         {Bool(true), kVtCy, Cy(-10000)},
         Fails(Text(u"yes"), kVtBool, kOleTypeMismatch)});
}

TEST(OleAut, CurrencyKeepsFourDecimals) {
  Check({{Cy(15000), kVtBstr, Text(u"1.5")},
         {Cy(10000), kVtBstr, Text(u"1")},
         {Cy(-5), kVtBstr, Text(u"-0.0005")},
         {Cy(123456789), kVtBstr, Text(u"12345.6789")},
         {I4(3), kVtCy, Cy(30000)},
         {R8(1.5), kVtCy, Cy(15000)},
         {Text(u"1.23456"), kVtCy, Cy(12346)},
         {R8(-0.25), kVtCy, Cy(-2500)},
         {Cy(25000), kVtI4, I4(2)},
         {Cy(35000), kVtI4, I4(4)},
         {Cy(-25000), kVtI4, I4(-2)},
         {Cy(12345), kVtR8, R8(1.2345)}});
}

TEST(OleAut, DatesCountDaysFrom1899) {
  Check({
    {I4(45306), kVtDate, Date(45306)}, {Date(45306.75), kVtR8, R8(45306.75)},
        {Date(45306.5), kVtI4, I4(45306)}, {Text(u"2024-01-15"), kVtDate, Date(45306)},
        {Text(u"2024-01-15 18:00:00"), kVtDate, Date(45306.75)}, Fails(R8(1e7), kVtDate, kOleOverflow),
        Fails(I4(-700000), kVtDate, kOleOverflow),
#if defined(_WIN32)  // the system writes dates in the locale's form
        {Date(45306), kVtBstr, Text(u"1/15/2024")}, {Date(45306.75), kVtBstr, Text(u"1/15/2024 6:00:00 PM")},
#else
        {Date(45306), kVtBstr, Text(u"2024-01-15")}, {Date(45306.75), kVtBstr, Text(u"2024-01-15 18:00:00")},
        {Date(-1.25), kVtBstr,
         Text(u"1899-12-29 06:00:00")},  // the fraction is the time even before 1899-12-30
        {Date(2.0 - 0.1 / 86400), kVtBstr, Text(u"1900-01-01")},  // rounds to the next midnight
        {Text(u"1899-12-29 06:00"), kVtDate, Date(-1.25)},
        Fails(Text(u"2023-02-29"), kVtDate, kOleTypeMismatch),
        Fails(Text(u"2024-01-15 24:00:00"), kVtDate, kOleTypeMismatch),
#endif
  });
}

TEST(OleAut, EmptyAndNullFollowOleRules) {
  Check({{Empty(), kVtI4, I4(0)},
         {Empty(), kVtBool, Bool(false)},
         {Null(), kVtNull, Null()},
         {I4(7), kVtNull, Null()},
         {I4(7), kVtEmpty, Empty()},
         Fails(Null(), kVtI4, kOleTypeMismatch),
         Fails(Null(), kVtBstr, kOleTypeMismatch),
         Fails(Null(), kVtEmpty, kOleTypeMismatch)});
}

TEST(OleAut, UnknownTypesFailAndLeaveEmpty) {
  OleVariant source = I4(1), dest = Text(u"previous");
  EXPECT_NE(VariantChangeType(&dest, &source, 99), 0);
  EXPECT_EQ(dest.vt, kVtEmpty);
  source.vt = 99;
  EXPECT_NE(VariantChangeType(&dest, &source, kVtI4), 0);
  EXPECT_EQ(dest.vt, kVtEmpty);
  dest = Text(u"previous");
  EXPECT_NE(VariantCopy(&dest, &source), 0);
  EXPECT_EQ(dest.vt, kVtEmpty);
}

TEST(OleAut, ConvertsInPlace) {
  OleVariant v = R8(0.1);
  ASSERT_EQ(VariantChangeType(&v, &v, kVtBstr), 0);
  ASSERT_EQ(v.vt, kVtBstr);
  EXPECT_EQ(TextOf(v.bstrVal), u"0.1");
  ASSERT_EQ(VariantChangeType(&v, &v, kVtI4), 0);  // releases the string it came from
  EXPECT_EQ(Show(v), Show(I4(0)));
  OleVariant text = Text(u"not a number");
  EXPECT_EQ(VariantChangeType(&text, &text, kVtR8), kOleTypeMismatch);
  EXPECT_EQ(text.vt, kVtEmpty);
}

TEST(OleAut, BstrHasByteLengthPrefixAndTerminator) {
  const char16_t chars[] = u"a\0bc";
  Bstr text = BstrAlloc(chars, 4);
  ASSERT_NE(text, nullptr);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, sizeof prefix);
  EXPECT_EQ(prefix, 8u);
  EXPECT_EQ(BstrLength(text), 4u);
  EXPECT_EQ(TextOf(text), std::u16string(chars, 4));
  EXPECT_EQ(text[4], u'\0');
  BstrFree(text);
  text = BstrAlloc(nullptr, 3);
  EXPECT_EQ(TextOf(text), std::u16string(3, u'\0'));
  BstrFree(text);
  EXPECT_EQ(BstrLength(nullptr), 0u);
}

TEST(OleAut, VariantCopyDuplicatesStrings) {
  OleVariant source = Text(u"shared?"), copy = Text(u"replaced");
  ASSERT_EQ(VariantCopy(&copy, &source), 0);
  ASSERT_EQ(copy.vt, kVtBstr);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  source.bstrVal[0] = u'S';
  EXPECT_EQ(VariantClear(&source), 0);
  EXPECT_EQ(TextOf(copy.bstrVal), u"shared?");
  EXPECT_EQ(VariantCopy(&copy, &copy), 0);  // onto itself: unchanged
  EXPECT_EQ(TextOf(copy.bstrVal), u"shared?");
  EXPECT_EQ(VariantClear(&copy), 0);
  EXPECT_EQ(copy.vt, kVtEmpty);
}

}  // namespace
}  // namespace kvo::platform
