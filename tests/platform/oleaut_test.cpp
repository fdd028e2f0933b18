// Tests of BSTR and VARIANT handling; the conversion table runs unchanged against oleaut32 under Windows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include "platform/oleaut.h"

namespace kvo::platform {
namespace {

// A variant value as test data: the type code and whichever field that type uses.
struct Value {
  uint16_t vt = kVtEmpty;
  int64_t integer = 0;
  double real = 0;
  const char16_t* text = nullptr;
};

Value Empty() {
  return {};
}
Value Null() {
  return {kVtNull};
}
Value I1(int v) {
  return {kVtI1, v};
}
Value Ui1(int v) {
  return {kVtUi1, v};
}
Value I2(int v) {
  return {kVtI2, v};
}
Value Ui2(int v) {
  return {kVtUi2, v};
}
Value I4(int64_t v) {
  return {kVtI4, v};
}
Value Ui4(int64_t v) {
  return {kVtUi4, v};
}
Value I8(int64_t v) {
  return {kVtI8, v};
}
Value R4(float v) {
  return {kVtR4, 0, v};
}
Value R8(double v) {
  return {kVtR8, 0, v};
}
Value Cy(int64_t scaled) {
  return {kVtCy, scaled};
}
Value Date(double days) {
  return {kVtDate, 0, days};
}
Value Bool(bool v) {
  return {kVtBool, v ? -1 : 0};
}
Value Text(const char16_t* v) {
  return {kVtBstr, 0, 0, v};
}

std::u16string BstrText(Bstr text) {
  return std::u16string(text ? text : u"", BstrLength(text));
}

OleVariant Make(const Value& value) {
  OleVariant v{};
  v.vt = value.vt;
  switch (value.vt) {
    case kVtI1:
      v.cVal = static_cast<int8_t>(value.integer);
      break;
    case kVtUi1:
      v.bVal = static_cast<uint8_t>(value.integer);
      break;
    case kVtI2:
      v.iVal = static_cast<int16_t>(value.integer);
      break;
    case kVtBool:
      v.boolVal = static_cast<int16_t>(value.integer);
      break;
    case kVtUi2:
      v.uiVal = static_cast<uint16_t>(value.integer);
      break;
    case kVtI4:
      v.lVal = static_cast<int32_t>(value.integer);
      break;
    case kVtUi4:
      v.ulVal = static_cast<uint32_t>(value.integer);
      break;
    case kVtR4:
      v.fltVal = static_cast<float>(value.real);
      break;
    case kVtR8:
    case kVtDate:
      v.dblVal = value.real;
      break;
    case kVtBstr:
      v.bstrVal =
          BstrAlloc(value.text, static_cast<uint32_t>(std::char_traits<char16_t>::length(value.text)));
      break;
    default:
      v.llVal = value.integer;
      break;
  }
  return v;
}

// The value read back from a variant, in the form Make takes.
Value Read(const OleVariant& v) {
  Value value{v.vt};
  switch (v.vt) {
    case kVtI1:
      value.integer = v.cVal;
      break;
    case kVtUi1:
      value.integer = v.bVal;
      break;
    case kVtI2:
    case kVtBool:
      value.integer = v.iVal;
      break;
    case kVtUi2:
      value.integer = v.uiVal;
      break;
    case kVtI4:
      value.integer = v.lVal;
      break;
    case kVtUi4:
      value.integer = v.ulVal;
      break;
    case kVtI8:
    case kVtCy:
      value.integer = v.llVal;
      break;
    case kVtR4:
      value.real = v.fltVal;
      break;
    case kVtR8:
    case kVtDate:
      value.real = v.dblVal;
      break;
    default:
      break;
  }
  return value;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text)
    out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::ostream& operator<<(std::ostream& out, const Value& v) {
  out << "vt " << v.vt << " (";
  if (v.vt == kVtBstr) return out << '"' << Narrow(v.text ? v.text : u"") << "\")";
  if (v.vt == kVtR4 || v.vt == kVtR8 || v.vt == kVtDate) return out << v.real << ')';
  return out << v.integer << ')';
}

struct Conversion {
  Value from;
  uint16_t to;
  Value expected;       // when the conversion succeeds
  int32_t failure = 0;  // else the failure code
};

Conversion Fails(Value from, uint16_t to, int32_t failure) {
  return {from, to, Value{}, failure};
}

// Checks one conversion into a separate destination, which starts out owning a string.
void CheckConversion(const Conversion& c) {
  SCOPED_TRACE(::testing::Message() << c.from << " to vt " << c.to);
  OleVariant source = Make(c.from);
  OleVariant dest = Make(Text(u"previous"));
  const int32_t hr = VariantChangeType(&dest, &source, c.to);
  if (c.failure != 0) {
    EXPECT_EQ(hr, c.failure);
    EXPECT_EQ(dest.vt, kVtEmpty);
  } else if (hr != 0) {
    ADD_FAILURE() << "failed with " << std::hex << hr;
  } else {
    EXPECT_EQ(dest.vt, c.expected.vt);
    if (c.expected.vt == kVtBstr) {
      EXPECT_EQ(Narrow(BstrText(dest.bstrVal)), Narrow(c.expected.text));
    } else if (c.expected.vt == kVtR4) {
      EXPECT_EQ(dest.fltVal, static_cast<float>(c.expected.real));
    } else {
      EXPECT_EQ(Read(dest).integer, c.expected.integer);
      EXPECT_EQ(Read(dest).real, c.expected.real);
    }
  }
  EXPECT_EQ(VariantClear(&source), 0);
  EXPECT_EQ(VariantClear(&dest), 0);
}

TEST(OleAut, NumbersConvertWithBankersRounding) {
  const Conversion cases[] = {
      {I4(5), kVtR8, R8(5)},          {R8(2.5), kVtI4, I4(2)},
      {R8(3.5), kVtI4, I4(4)},        {R8(-2.5), kVtI4, I4(-2)},
      {R8(-3.5), kVtI2, I2(-4)},      {R8(2.4999), kVtI4, I4(2)},
      {R8(0.5), kVtUi1, Ui1(0)},      {R8(1.5), kVtUi1, Ui1(2)},
      {R4(6.5f), kVtI8, I8(6)},       {I4(255), kVtUi1, Ui1(255)},
      {I1(-128), kVtI2, I2(-128)},    {Ui4(4000000000), kVtI8, I8(4000000000)},
      {I2(-1), kVtI4, I4(-1)},        {I8(int64_t{1} << 40), kVtR8, R8(1099511627776.0)},
      {R8(0.1), kVtR4, R4(0.1f)},     {R4(0.5f), kVtR8, R8(0.5)},
      {Ui2(65535), kVtI4, I4(65535)},
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, OutOfRangeNumbersOverflow) {
  const Conversion cases[] = {
      Fails(I4(70000), kVtI2, kOleOverflow),
      Fails(I4(-1), kVtUi1, kOleOverflow),
      Fails(I4(256), kVtUi1, kOleOverflow),
      Fails(I4(128), kVtI1, kOleOverflow),
      Fails(Ui4(4294967295), kVtI2, kOleOverflow),
      Fails(I8(int64_t{1} << 31), kVtI4, kOleOverflow),
      Fails(R8(1e10), kVtI4, kOleOverflow),
      Fails(R8(2147483647.5), kVtI4, kOleOverflow),
      Fails(R8(-1.0), kVtUi4, kOleOverflow),
      Fails(R8(1e300), kVtR4, kOleOverflow),
      Fails(R8(1e19), kVtI8, kOleOverflow),
      Fails(R8(1e16), kVtCy, kOleOverflow),
      Fails(Text(u"99999999999"), kVtI4, kOleOverflow),
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, SameWidthSignChangeKeepsBits) {
  const Conversion cases[] = {
      {I1(-3), kVtUi1, Ui1(253)},          {Ui1(200), kVtI1, I1(-56)},
      {I2(-5), kVtUi2, Ui2(65531)},        {Ui2(65535), kVtI2, I2(-1)},
      {I4(-1), kVtUi4, Ui4(4294967295)},   {Ui4(4294967295), kVtI4, I4(-1)},
      Fails(I2(-5), kVtUi1, kOleOverflow), Fails(I4(-1), kVtUi2, kOleOverflow),
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, RealsBecomeShortestRoundTripText) {
  const Conversion cases[] = {
      {R8(0.1), kVtBstr, Text(u"0.1")},
      {R8(1.0 / 3.0), kVtBstr, Text(u"0.3333333333333333")},
      {R8(1e300), kVtBstr, Text(u"1e+300")},
      {R8(-1.5), kVtBstr, Text(u"-1.5")},
      {R8(123456789.0), kVtBstr, Text(u"123456789")},
      {R8(2.5e-7), kVtBstr, Text(u"2.5e-07")},
      {R4(0.1f), kVtBstr, Text(u"0.1")},
      {R4(16777216.0f), kVtBstr, Text(u"16777216")},
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, IntegersAndBooleansBecomeText) {
  const Conversion cases[] = {
      {I4(-42), kVtBstr, Text(u"-42")},
      {I8(INT64_MIN), kVtBstr, Text(u"-9223372036854775808")},
      {Ui4(4294967295), kVtBstr, Text(u"4294967295")},
      {I1(-5), kVtBstr, Text(u"-5")},
      {Bool(true), kVtBstr, Text(u"True")},
      {Bool(false), kVtBstr, Text(u"False")},
      {Empty(), kVtBstr, Text(u"")},
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, TextBecomesNumbers) {
  const Conversion cases[] = {
      {Text(u" 12 "), kVtI4, I4(12)},
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
      Fails(Text(u"True"), kVtI4, kOleTypeMismatch),
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, BooleansConvertBothWays) {
  const Conversion cases[] = {
      {Text(u"True"), kVtBool, Bool(true)},
      {Text(u"false"), kVtBool, Bool(false)},
      {Text(u"TRUE"), kVtBool, Bool(true)},
      {Text(u"0"), kVtBool, Bool(false)},
      {Text(u"2.5"), kVtBool, Bool(true)},
      {I4(2), kVtBool, Bool(true)},
      {R8(0.0), kVtBool, Bool(false)},
      {Cy(1), kVtBool, Bool(true)},
      {Bool(true), kVtI4, I4(-1)},
      {Bool(true), kVtR8, R8(-1.0)},
      {Bool(true), kVtCy, Cy(-10000)},
      {Bool(false), kVtI2, I2(0)},
      Fails(Text(u"yes"), kVtBool, kOleTypeMismatch),
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, CurrencyKeepsFourDecimals) {
  const Conversion cases[] = {
      {Cy(15000), kVtBstr, Text(u"1.5")},
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
      {Cy(12345), kVtR8, R8(1.2345)},
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, DatesConvertAsDaysSince1899) {
  const Conversion cases[] = {
    {I4(45306), kVtDate, Date(45306)},
    {Date(45306.75), kVtR8, R8(45306.75)},
    {Date(45306.5), kVtI4, I4(45306)},  // half rounds to even
    {Text(u"2024-01-15"), kVtDate, Date(45306)},
    {Text(u"2024-01-15 18:00:00"), kVtDate, Date(45306.75)},
    Fails(R8(1e7), kVtDate, kOleOverflow),
    Fails(I4(-700000), kVtDate, kOleOverflow),
#if defined(_WIN32)
    {Date(45306), kVtBstr, Text(u"1/15/2024")},
    {Date(45306.75), kVtBstr, Text(u"1/15/2024 6:00:00 PM")},
#else
    {Date(45306), kVtBstr, Text(u"2024-01-15")},
    {Date(45306.75), kVtBstr, Text(u"2024-01-15 18:00:00")},
    {Date(0), kVtBstr, Text(u"1899-12-30")},
    {Date(-1.25), kVtBstr, Text(u"1899-12-29 06:00:00")},
    {Date(2.0 - 0.1 / 86400), kVtBstr, Text(u"1900-01-01")},  // a tenth of a second rounds to midnight
    {Text(u"1899-12-29 06:00"), kVtDate, Date(-1.25)},
    Fails(Text(u"2023-02-29"), kVtDate, kOleTypeMismatch),
    Fails(Text(u"2024-01-15 24:00:00"), kVtDate, kOleTypeMismatch),
#endif
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, EmptyAndNullFollowOleRules) {
  const Conversion cases[] = {
      {Empty(), kVtI4, I4(0)},
      {Empty(), kVtBool, Bool(false)},
      {Empty(), kVtR8, R8(0)},
      {Null(), kVtNull, Null()},
      {I4(7), kVtNull, Null()},
      {I4(7), kVtEmpty, Empty()},
      Fails(Null(), kVtI4, kOleTypeMismatch),
      Fails(Null(), kVtBstr, kOleTypeMismatch),
      Fails(Null(), kVtEmpty, kOleTypeMismatch),
  };
  for (const Conversion& c : cases)
    CheckConversion(c);
}

TEST(OleAut, UnknownTypesFail) {
  OleVariant source = Make(I4(1));
  OleVariant dest{};
  EXPECT_NE(VariantChangeType(&dest, &source, 99), 0);
  EXPECT_EQ(dest.vt, kVtEmpty);
  source.vt = 99;
  EXPECT_NE(VariantChangeType(&dest, &source, kVtI4), 0);
  EXPECT_EQ(dest.vt, kVtEmpty);
  EXPECT_NE(VariantCopy(&dest, &source), 0);
  EXPECT_EQ(dest.vt, kVtEmpty);
}

TEST(OleAut, ConvertsInPlace) {
  OleVariant v = Make(R8(0.1));
  ASSERT_EQ(VariantChangeType(&v, &v, kVtBstr), 0);
  ASSERT_EQ(v.vt, kVtBstr);
  EXPECT_EQ(BstrText(v.bstrVal), u"0.1");
  ASSERT_EQ(VariantChangeType(&v, &v, kVtI4), 0);  // frees the string it came from
  ASSERT_EQ(v.vt, kVtI4);
  EXPECT_EQ(v.lVal, 0);
  OleVariant text = Make(Text(u" 42 "));
  ASSERT_EQ(VariantChangeType(&text, &text, kVtI2), 0);
  EXPECT_EQ(text.vt, kVtI2);
  EXPECT_EQ(text.iVal, 42);
}

TEST(OleAut, FailedInPlaceConversionLeavesEmpty) {
  OleVariant v = Make(Text(u"not a number"));
  EXPECT_EQ(VariantChangeType(&v, &v, kVtR8), kOleTypeMismatch);
  EXPECT_EQ(v.vt, kVtEmpty);
}

TEST(OleAut, BstrHasByteLengthPrefixAndTerminator) {
  const char16_t chars[] = u"a\0bc";
  Bstr text = BstrAlloc(chars, 4);
  ASSERT_NE(text, nullptr);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, sizeof prefix);
  EXPECT_EQ(prefix, 8u);
  EXPECT_EQ(BstrLength(text), 4u);
  EXPECT_EQ(BstrText(text), std::u16string(chars, 4));
  EXPECT_EQ(text[4], u'\0');
  BstrFree(text);
}

TEST(OleAut, BstrWithoutCharsIsZeroed) {
  Bstr text = BstrAlloc(nullptr, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(BstrText(text), std::u16string(4 - 1, u'\0'));
  EXPECT_EQ(text[3], u'\0');
  BstrFree(text);
  EXPECT_EQ(BstrLength(nullptr), 0u);
  BstrFree(nullptr);  // ignored
}

TEST(OleAut, VariantCopyDuplicatesStrings) {
  OleVariant source = Make(Text(u"shared?"));
  OleVariant copy = Make(Text(u"replaced"));
  ASSERT_EQ(VariantCopy(&copy, &source), 0);
  ASSERT_EQ(copy.vt, kVtBstr);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  source.bstrVal[0] = u'S';
  EXPECT_EQ(BstrText(copy.bstrVal), u"shared?");
  EXPECT_EQ(VariantClear(&source), 0);
  EXPECT_EQ(BstrText(copy.bstrVal), u"shared?");
  EXPECT_EQ(VariantCopy(&copy, &copy), 0);  // copying onto itself changes nothing
  EXPECT_EQ(BstrText(copy.bstrVal), u"shared?");
  EXPECT_EQ(VariantClear(&copy), 0);
  EXPECT_EQ(copy.vt, kVtEmpty);
}

}  // namespace
}  // namespace kvo::platform
