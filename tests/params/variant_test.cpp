// Variant values: ownership, the runtime's string kind and the conversions later layers rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "params/exceptions.h"
#include "params/variant.h"

namespace kvo {
namespace {

TEST(Variant, TextConversionPerKind) {
  struct Case {
    Variant value;
    std::string text;
  };
  const std::vector<Case> cases = {
      {Variant(), ""},
      {Variant::FromInt(-42), "-42"},
      {Variant::FromInt64(9007199254740993LL), "9007199254740993"},
      {Variant::FromDouble(21.5), "21.5"},
      {Variant::FromDouble(0.1), "0.1"},
      {Variant::FromDouble(0.1 + 0.2), "0.30000000000000004"},
      {Variant::FromDouble(1e300), "1e+300"},
      {Variant::FromBool(true), "True"},
      {Variant::FromBool(false), "False"},
      {Variant::FromText("caf\xC3\xA9"), "caf\xC3\xA9"},
      {Variant::FromAnsiString("abc"), "abc"},
      {Variant::FromText(std::string("a\0b", 3)), std::string("a\0b", 3)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.value.ToText(), c.text) << VariantTypeName(c.value.type());
}

TEST(Variant, ShortestRoundTripTextReadsBackExactly) {
  for (double value : {1.0 / 3, 2.0 / 3, 1e-310, 123456789.125, -0.0, 5e-324}) {
    Variant text = Variant::FromText(Variant::FromDouble(value).ToText());
    EXPECT_EQ(text.ToDouble(), value);
  }
}

TEST(Variant, NumericConversions) {
  EXPECT_EQ(Variant::FromText(" 17 ").ToInt(), 17);
  EXPECT_DOUBLE_EQ(Variant::FromText("2.5").ToDouble(), 2.5);
  EXPECT_EQ(Variant::FromDouble(2.5).ToInt(), 2);  // halves round to even
  EXPECT_EQ(Variant::FromDouble(3.5).ToInt(), 4);
  EXPECT_EQ(Variant::FromBool(true).ToInt(), -1);
  EXPECT_TRUE(Variant::FromInt(7).ToBool());
  EXPECT_FALSE(Variant::FromText("False").ToBool());
  EXPECT_TRUE(Variant::FromText("true").ToBool());
  EXPECT_EQ(Variant().ToInt(), 0);
}

TEST(Variant, FailedConversionsRaiseOurError) {
  EXPECT_THROW(Variant::Null().ToText(), EVariantError);
  EXPECT_THROW(Variant::Null().ToInt(), EVariantError);
  EXPECT_THROW(Variant::FromText("abc").ToDouble(), EVariantError);
  EXPECT_THROW(Variant::FromText("").ToInt(), EVariantError);
  EXPECT_THROW(Variant::FromDouble(1e20).ToInt(), EVariantError);
  EXPECT_THROW(Variant::FromInt64(int64_t{1} << 40).ToInt(), EVariantError);
  EXPECT_THROW(Variant::FromText("maybe").ToBool(), EVariantError);
}

TEST(Variant, NumberAsDoubleTakesNumbersOnly) {
  double out = 0;
  EXPECT_TRUE(Variant::FromInt(3).NumberAsDouble(&out));
  EXPECT_EQ(out, 3.0);
  EXPECT_TRUE(Variant::FromDouble(-1.25).NumberAsDouble(&out));
  EXPECT_EQ(out, -1.25);
  EXPECT_FALSE(Variant::FromText("3").NumberAsDouble(&out));
  EXPECT_FALSE(Variant::Null().NumberAsDouble(&out));
  EXPECT_FALSE(Variant::FromBool(true).NumberAsDouble(&out));
}

TEST(Variant, CopiesAreIndependent) {
  Variant a = Variant::FromText("one");
  Variant b = a;
  EXPECT_NE(a.raw().bstrVal, b.raw().bstrVal);
  a = Variant::FromInt(1);
  EXPECT_EQ(b.ToText(), "one");
  Variant c = std::move(b);
  EXPECT_EQ(b.type(), platform::kVtEmpty);
  EXPECT_EQ(c.ToText(), "one");
  c = c;  // self-assignment keeps the value
  EXPECT_EQ(c.ToText(), "one");
}

TEST(Variant, RuntimeStringKindSharesItsTextUntilNormalized) {
  Variant a = Variant::FromAnsiString("abc");
  Variant b = a;
  EXPECT_EQ(a.type(), kVtString);
  EXPECT_EQ(a.raw().byref, b.raw().byref);  // reference-counted, like the runtime's strings
  b.NormalizeStringKind();
  EXPECT_EQ(b.type(), platform::kVtBstr);
  EXPECT_EQ(b.ToText(), "abc");
  EXPECT_EQ(a.ToText(), "abc");
  EXPECT_EQ(Variant::FromAnsiString("").ToText(), "");
}

TEST(Variant, MissingAndTextTests) {
  EXPECT_TRUE(IsMissing(Variant()));
  EXPECT_TRUE(IsMissing(Variant::Null()));
  EXPECT_FALSE(IsMissing(Variant::FromInt(0)));
  EXPECT_FALSE(IsMissing(Variant::FromText("")));
  EXPECT_TRUE(IsText(Variant::FromText("")));
  EXPECT_TRUE(IsText(Variant::FromAnsiString("x")));
  EXPECT_FALSE(IsText(Variant::FromInt(1)));
  EXPECT_FALSE(IsText(Variant::Null()));
}

}  // namespace
}  // namespace kvo
