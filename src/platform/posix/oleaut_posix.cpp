// OLE Automation values on POSIX: the BSTR layout and the VARIANT conversion rules of oleaut32.
#include "platform/oleaut.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>

namespace kvo::platform {
namespace {

constexpr int32_t kOk = 0;

// The range oleaut32 accepts for dates: 100-01-01 to 9999-12-31.
constexpr double kDateMin = -657434.0;
constexpr double kDateMax = 2958465.0;
// 1899-12-30, the day DATE counts from, as days since 1970-01-01.
constexpr int64_t kDateEpoch = -25569;
constexpr int64_t kCyScale = 10000;

bool IsKnownType(uint16_t vt) {
  switch (vt) {
    case kVtEmpty:
    case kVtNull:
    case kVtI2:
    case kVtI4:
    case kVtR4:
    case kVtR8:
    case kVtCy:
    case kVtDate:
    case kVtBstr:
    case kVtError:
    case kVtBool:
    case kVtI1:
    case kVtUi1:
    case kVtUi2:
    case kVtUi4:
    case kVtI8:
      return true;
    default:
      return false;
  }
}

// The integer types: their width in bytes and the values they hold.
struct IntegerType {
  uint16_t vt;
  int width;
  int64_t low;
  int64_t high;
};

constexpr IntegerType kIntegerTypes[] = {
    {kVtI1, 1, INT8_MIN, INT8_MAX},   {kVtUi1, 1, 0, UINT8_MAX},        {kVtI2, 2, INT16_MIN, INT16_MAX},
    {kVtUi2, 2, 0, UINT16_MAX},       {kVtI4, 4, INT32_MIN, INT32_MAX}, {kVtUi4, 4, 0, UINT32_MAX},
    {kVtI8, 8, INT64_MIN, INT64_MAX},
};

const IntegerType* IntegerTypeOf(uint16_t vt) {
  for (const IntegerType& type : kIntegerTypes) {
    if (type.vt == vt) return &type;
  }
  return nullptr;
}

void StoreInteger(OleVariant& out, uint16_t vt, int64_t value) {
  switch (vt) {
    case kVtI1:
      out.cVal = int8_t(value);
      break;
    case kVtUi1:
      out.bVal = uint8_t(value);
      break;
    case kVtI2:
      out.iVal = int16_t(value);
      break;
    case kVtUi2:
      out.uiVal = uint16_t(value);
      break;
    case kVtI4:
      out.lVal = int32_t(value);
      break;
    case kVtUi4:
      out.ulVal = uint32_t(value);
      break;
    default:
      out.llVal = value;
      break;
  }
}

// A non-text source value reduced to what the numeric conversions need.
struct Number {
  enum Kind { kInteger, kReal, kCurrency } kind = kInteger;
  int64_t integer = 0;  // kInteger, and kCurrency scaled by 10000
  double real = 0;
};

int32_t NumberOf(const OleVariant& v, Number* n) {
  switch (v.vt) {
    case kVtEmpty:
      *n = {};
      return kOk;
    case kVtBool:
      n->integer = v.boolVal ? -1 : 0;
      return kOk;
    case kVtI1:
      n->integer = v.cVal;
      return kOk;
    case kVtUi1:
      n->integer = v.bVal;
      return kOk;
    case kVtI2:
      n->integer = v.iVal;
      return kOk;
    case kVtUi2:
      n->integer = v.uiVal;
      return kOk;
    case kVtI4:
      n->integer = v.lVal;
      return kOk;
    case kVtUi4:
      n->integer = v.ulVal;
      return kOk;
    case kVtI8:
      n->integer = v.llVal;
      return kOk;
    case kVtCy:
      *n = {Number::kCurrency, v.llVal, 0};
      return kOk;
    case kVtR4:
      *n = {Number::kReal, 0, v.fltVal};
      return kOk;
    case kVtR8:
    case kVtDate:
      *n = {Number::kReal, 0, v.dblVal};
      return kOk;
    default:
      return kOleTypeMismatch;
  }
}

double RoundHalfEven(double value) {
  double whole = std::floor(value);
  const double fraction = value - whole;  // exact for every double
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return whole;
}

// Checks that a rounded real lies in [low, high]; NaN never does.
bool RealFits(double rounded, int64_t low, int64_t high) {
  // high + 1 is exact for the narrow types; for I8, high itself rounds up to 2^63, the bound wanted.
  const double above = high == INT64_MAX ? static_cast<double>(high) : static_cast<double>(high) + 1.0;
  return rounded >= static_cast<double>(low) && rounded < above;
}

int64_t CurrencyToInteger(int64_t cy) {
  int64_t whole = cy / kCyScale;
  const int64_t rest = cy % kCyScale;
  const bool odd = (whole & 1) != 0;
  if (rest > kCyScale / 2 || (rest == kCyScale / 2 && odd)) ++whole;
  if (rest < -kCyScale / 2 || (rest == -kCyScale / 2 && odd)) --whole;
  return whole;
}

int32_t ToInteger(const Number& n, const IntegerType& type, int64_t* out) {
  int64_t value;
  if (n.kind == Number::kReal) {
    const double rounded = RoundHalfEven(n.real);
    if (!RealFits(rounded, type.low, type.high)) return kOleOverflow;
    value = static_cast<int64_t>(rounded);
  } else {
    value = n.kind == Number::kCurrency ? CurrencyToInteger(n.integer) : n.integer;
  }
  if (value < type.low || value > type.high) return kOleOverflow;
  *out = value;
  return kOk;
}

double ToReal(const Number& n) {
  switch (n.kind) {
    case Number::kReal:
      return n.real;
    case Number::kCurrency:
      return static_cast<double>(n.integer) / kCyScale;
    default:
      return static_cast<double>(n.integer);
  }
}

int32_t ToCurrency(const Number& n, int64_t* out) {
  switch (n.kind) {
    case Number::kCurrency:
      *out = n.integer;
      return kOk;
    case Number::kInteger:
      if (n.integer > INT64_MAX / kCyScale || n.integer < INT64_MIN / kCyScale) return kOleOverflow;
      *out = n.integer * kCyScale;
      return kOk;
    default: {
      const double scaled = RoundHalfEven(n.real * kCyScale);
      if (!RealFits(scaled, INT64_MIN, INT64_MAX)) return kOleOverflow;
      *out = static_cast<int64_t>(scaled);
      return kOk;
    }
  }
}

int32_t ToDate(const Number& n, double* out) {
  const double value = ToReal(n);
  // Whole days must lie in range; the time of the last day may be added to it.
  if (!(value > kDateMin - 1.0 && value < kDateMax + 1.0)) return kOleOverflow;
  *out = value;
  return kOk;
}

bool ToBool(const Number& n) {
  return n.kind == Number::kReal ? n.real != 0.0 : n.integer != 0;
}

// ---- Text

// The text of a BSTR as ASCII without surrounding blanks; false when it holds other characters, which no
// number, date or boolean contains.
bool AsciiTrimmed(Bstr text, std::string* out) {
  const uint32_t length = BstrLength(text);
  uint32_t begin = 0, end = length;
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (begin < end && blank(text[begin])) {
    ++begin;
  }
  while (end > begin && blank(text[end - 1])) {
    --end;
  }
  out->clear();
  out->reserve(end - begin);
  for (uint32_t i = begin; i < end; ++i) {
    if (text[i] >= 0x80) return false;
    out->push_back(static_cast<char>(text[i]));
  }
  return true;
}

bool SameAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A decimal number as written: value = (negative ? -1 : 1) * digits * 10^exponent, exactly.
struct Decimal {
  bool negative = false;
  std::string digits;  // without leading zeros; empty for zero
  int64_t exponent = 0;
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Accepts [+-]digits[.digits][(e|E)[+-]digits], with at least one mantissa digit.
bool ParseDecimal(std::string_view text, Decimal* out) {
  *out = {};
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) out->negative = text[i++] == '-';
  bool any_digit = false, seen_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !seen_point) {
      seen_point = true;
    } else if (IsDigit(c)) {
      any_digit = true;
      if (!out->digits.empty() || c != '0') out->digits.push_back(c);
      if (seen_point) --out->exponent;
    } else {
      break;
    }
  }
  if (!any_digit) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponent_negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t exponent = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');  // far beyond any range
    }
    out->exponent += exponent_negative ? -exponent : exponent;
  }
  return i == text.size();
}

// value * 10^scale rounded half to even, as an int64.
int32_t ScaleDecimal(const Decimal& d, int scale, int64_t* out) {
  const int64_t exponent = d.exponent + scale;
  const int64_t count = static_cast<int64_t>(d.digits.size());
  if (d.digits.empty() || count + exponent < 0) {
    *out = 0;  // below 0.1 after scaling: rounds to zero
    return kOk;
  }
  if (count + exponent > 19) return kOleOverflow;
  const int64_t kept = exponent >= 0 ? count : count + exponent;
  uint64_t magnitude = 0;
  for (int64_t i = 0; i < kept; ++i) {
    magnitude = magnitude * 10 + uint64_t(d.digits[size_t(i)] - '0');
  }
  for (int64_t i = 0; i < exponent; ++i) {
    if (magnitude > UINT64_MAX / 10) return kOleOverflow;
    magnitude *= 10;
  }
  if (kept < count) {
    const char first = d.digits[size_t(kept)];
    // Digits are stripped of leading zeros only, so any later digit other than '0' makes it above half.
    const bool above_half = d.digits.find_first_not_of('0', size_t(kept) + 1) != std::string::npos;
    if (first > '5' || (first == '5' && (above_half || (magnitude & 1) != 0))) ++magnitude;
  }
  const uint64_t limit = d.negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
  if (magnitude > limit) return kOleOverflow;
  *out = d.negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return kOk;
}

template <typename Real>
int32_t ParseReal(std::string_view text, Real* out) {
  Decimal d;
  if (!ParseDecimal(text, &d)) return kOleTypeMismatch;
  // from_chars takes no '+' sign; the grammar above already matched the rest.
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *out);
  if (result.ec == std::errc::result_out_of_range) {
    if (d.digits.empty() || static_cast<int64_t>(d.digits.size()) + d.exponent < 0) {
      *out = d.negative ? -Real(0) : Real(0);  // underflow
      return kOk;
    }
    return kOleOverflow;
  }
  return result.ec == std::errc() && result.ptr == text.data() + text.size() ? kOk : kOleTypeMismatch;
}

// ---- Dates (proleptic Gregorian calendar, after H. Hinnant's civil-date algorithms)

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, int* month, int* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  *day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = year_of_era + era * 400 + (*month <= 2);
}

// "YYYY-MM-DD", with " HH:MM:SS" when the time of day, rounded to the second, is not midnight. A
// negative DATE counts whole days back from the epoch, while its fraction is still the time of day.
int32_t DateText(double date, std::string* out) {
  if (!(date > kDateMin - 1.0 && date < kDateMax + 1.0)) return kOleOverflow;
  const double whole = std::trunc(date);
  int64_t day = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(date - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  int64_t year;
  int month, mday;
  CivilFromDays(day + kDateEpoch, &year, &month, &mday);
  char buffer[32];
  int length =
      std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d", static_cast<long long>(year), month, mday);
  if (seconds != 0) {
    length += std::snprintf(buffer + length, sizeof buffer - size_t(length), " %02d:%02d:%02d",
                            int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
  }
  out->assign(buffer, size_t(length));
  return kOk;
}

// Reads a fixed number of digits.
bool ReadField(std::string_view text, size_t& pos, size_t width, int* value) {
  if (pos + width > text.size()) return false;
  *value = 0;
  for (size_t i = 0; i < width; ++i) {
    const char c = text[pos + i];
    if (!IsDigit(c)) return false;
    *value = *value * 10 + (c - '0');
  }
  pos += width;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// The reverse of DateText: "YYYY-MM-DD", optionally followed by " HH:MM" or " HH:MM:SS".
int32_t ParseDate(std::string_view text, double* out) {
  size_t pos = 0;
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!ReadField(text, pos, 4, &year) || !Expect(text, pos, '-') || !ReadField(text, pos, 2, &month) ||
      !Expect(text, pos, '-') || !ReadField(text, pos, 2, &day)) {
    return kOleTypeMismatch;
  }
  if (pos < text.size()) {
    if ((text[pos] != ' ' && text[pos] != 'T') || !ReadField(text, ++pos, 2, &hour) ||
        !Expect(text, pos, ':') || !ReadField(text, pos, 2, &minute)) {
      return kOleTypeMismatch;
    }
    if (pos < text.size() && (!Expect(text, pos, ':') || !ReadField(text, pos, 2, &second))) {
      return kOleTypeMismatch;
    }
    if (pos != text.size()) return kOleTypeMismatch;
  }
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return kOleTypeMismatch;
  int64_t check_year;
  int check_month, check_day;
  const int64_t days = DaysFromCivil(year, month, day);
  CivilFromDays(days, &check_year, &check_month, &check_day);
  if (check_month != month) return kOleTypeMismatch;  // a day past the month's end
  if (year < 100) return kOleOverflow;
  const double serial = static_cast<double>(days - kDateEpoch);
  const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  *out = serial >= 0 ? serial + time : serial - time;
  return kOk;
}

// ---- Number to text

template <typename Real>
std::string RealText(Real value) {
  char buffer[48];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);  // shortest round trip
  return std::string(buffer, result.ptr);
}

std::string CurrencyText(int64_t cy) {
  const uint64_t magnitude = cy < 0 ? 0 - static_cast<uint64_t>(cy) : static_cast<uint64_t>(cy);
  std::string text = cy < 0 ? "-" : "";
  text += std::to_string(magnitude / kCyScale);
  unsigned fraction = static_cast<unsigned>(magnitude % kCyScale);
  if (fraction != 0) {
    char digits[5] = {char('0' + fraction / 1000), char('0' + fraction / 100 % 10),
                      char('0' + fraction / 10 % 10), char('0' + fraction % 10), 0};
    size_t length = 4;
    while (digits[length - 1] == '0') {
      --length;
    }
    text += '.';
    text.append(digits, length);
  }
  return text;
}

int32_t TextOf(const OleVariant& v, std::string* out) {
  switch (v.vt) {
    case kVtEmpty:
      out->clear();
      return kOk;
    case kVtBool:
      *out = v.boolVal ? "True" : "False";
      return kOk;
    case kVtR4:
      *out = RealText(v.fltVal);
      return kOk;
    case kVtR8:
      *out = RealText(v.dblVal);
      return kOk;
    case kVtCy:
      *out = CurrencyText(v.llVal);
      return kOk;
    case kVtDate:
      return DateText(v.dblVal, out);
    default: {
      Number n;
      if (const int32_t hr = NumberOf(v, &n); hr != kOk) return hr;
      *out = std::to_string(n.integer);
      return kOk;
    }
  }
}

Bstr BstrFromAscii(std::string_view text) {
  Bstr bstr = BstrAlloc(nullptr, static_cast<uint32_t>(text.size()));
  if (bstr != nullptr) {
    for (size_t i = 0; i < text.size(); ++i) {
      bstr[i] = static_cast<unsigned char>(text[i]);
    }
  }
  return bstr;
}

// ---- Conversion

int32_t ConvertFromText(Bstr text, uint16_t vt, OleVariant& out) {
  std::string ascii;
  if (!AsciiTrimmed(text, &ascii)) return kOleTypeMismatch;
  const IntegerType* type = IntegerTypeOf(vt);
  if (type != nullptr || vt == kVtCy) {
    Decimal d;
    int64_t value;
    if (!ParseDecimal(ascii, &d)) return kOleTypeMismatch;
    if (const int32_t hr = ScaleDecimal(d, vt == kVtCy ? 4 : 0, &value); hr != kOk) return hr;
    if (vt == kVtCy) {
      out.llVal = value;
      return kOk;
    }
    if (value < type->low || value > type->high) return kOleOverflow;
    StoreInteger(out, vt, value);
    return kOk;
  }
  switch (vt) {
    case kVtR4:
      return ParseReal(ascii, &out.fltVal);
    case kVtR8:
      return ParseReal(ascii, &out.dblVal);
    case kVtDate:
      return ParseDate(ascii, &out.dblVal);
    case kVtBool: {
      double number;
      if (SameAsciiNoCase(ascii, "true")) {
        out.boolVal = -1;
      } else if (SameAsciiNoCase(ascii, "false")) {
        out.boolVal = 0;
      } else if (const int32_t hr = ParseReal(ascii, &number); hr == kOk) {
        out.boolVal = number != 0.0 ? -1 : 0;
      } else {
        return hr;
      }
      return kOk;
    }
    default:
      return kOleTypeMismatch;
  }
}

// Converts into `out`, which starts empty; `source` is not touched.
int32_t Convert(const OleVariant& source, uint16_t vt, OleVariant& out) {
  if (!IsKnownType(source.vt) || !IsKnownType(vt)) return kOleBadVarType;
  if (source.vt == vt) return VariantCopy(&out, &source);
  if (vt == kVtEmpty || vt == kVtNull) {
    // Anything but an error code may become null, and anything but null may become empty.
    if (source.vt == kVtError || (vt == kVtEmpty && source.vt == kVtNull)) return kOleTypeMismatch;
    out.vt = vt;
    return kOk;
  }
  if (source.vt == kVtNull || source.vt == kVtError || vt == kVtError) return kOleTypeMismatch;

  if (vt == kVtBstr) {
    std::string text;
    if (const int32_t hr = TextOf(source, &text); hr != kOk) return hr;
    out.bstrVal = BstrFromAscii(text);
    if (out.bstrVal == nullptr) return kOleOutOfMemory;
    out.vt = vt;
    return kOk;
  }
  if (source.vt == kVtBstr) {
    const int32_t hr = ConvertFromText(source.bstrVal, vt, out);
    if (hr == kOk) out.vt = vt;
    return hr;
  }

  Number n;
  if (const int32_t hr = NumberOf(source, &n); hr != kOk) return hr;
  int32_t hr = kOk;
  if (const IntegerType* type = IntegerTypeOf(vt)) {
    const IntegerType* from = IntegerTypeOf(source.vt);
    int64_t value;
    if (source.vt == kVtBool && type->low == 0) {
      value = n.integer != 0 ? type->high : 0;  // a true boolean is all bits set, whatever the width
    } else if (from != nullptr && from->width == type->width) {
      value = n.integer;  // oleaut32 keeps the bits between types of one width; StoreInteger wraps them
    } else if (hr = ToInteger(n, *type, &value); hr != kOk) {
      return hr;
    }
    StoreInteger(out, vt, value);
  } else {
    switch (vt) {
      case kVtR4: {
        const double value = ToReal(n);
        if (std::fabs(value) > std::numeric_limits<float>::max()) return kOleOverflow;
        out.fltVal = static_cast<float>(value);
        break;
      }
      case kVtR8:
        out.dblVal = ToReal(n);
        break;
      case kVtDate:
        hr = ToDate(n, &out.dblVal);
        break;
      case kVtCy:
        hr = ToCurrency(n, &out.llVal);
        break;
      case kVtBool:
        out.boolVal = ToBool(n) ? -1 : 0;
        break;
      default:
        hr = kOleTypeMismatch;
        break;
    }
  }
  if (hr == kOk) out.vt = vt;
  return hr;
}

}  // namespace

Bstr BstrAlloc(const char16_t* chars, uint32_t length) {
  if (length > (UINT32_MAX - sizeof(uint32_t) - sizeof(char16_t)) / sizeof(char16_t)) return nullptr;
  const uint32_t bytes = length * uint32_t(sizeof(char16_t));
  auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(char16_t)));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<Bstr>(block + sizeof(uint32_t));
  if (chars != nullptr) {
    std::memcpy(text, chars, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  text[length] = 0;
  return text;
}

void BstrFree(Bstr text) {
  if (text != nullptr) std::free(reinterpret_cast<char*>(text) - sizeof(uint32_t));
}

uint32_t BstrLength(Bstr text) {
  if (text == nullptr) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof(uint32_t), sizeof bytes);
  return bytes / sizeof(char16_t);
}

int32_t VariantClear(OleVariant* value) {
  if (value == nullptr) return kOleInvalidArg;
  if (!IsKnownType(value->vt)) return kOleBadVarType;
  if (value->vt == kVtBstr) BstrFree(value->bstrVal);
  *value = {};
  return kOk;
}

int32_t VariantCopy(OleVariant* dest, const OleVariant* source) {
  if (dest == nullptr || source == nullptr) return kOleInvalidArg;
  if (dest == source) return IsKnownType(source->vt) ? kOk : kOleBadVarType;
  if (!IsKnownType(source->vt)) {
    VariantClear(dest);
    return kOleBadVarType;
  }
  if (const int32_t hr = VariantClear(dest); hr != kOk) return hr;
  OleVariant copy = *source;
  if (copy.vt == kVtBstr && copy.bstrVal != nullptr) {
    copy.bstrVal = BstrAlloc(source->bstrVal, BstrLength(source->bstrVal));
    if (copy.bstrVal == nullptr) return kOleOutOfMemory;
  }
  *dest = copy;
  return kOk;
}

int32_t VariantChangeType(OleVariant* dest, const OleVariant* source, uint16_t vt) {
  if (dest == nullptr || source == nullptr) return kOleInvalidArg;
  OleVariant result{};
  int32_t hr;
  try {
    hr = Convert(*source, vt, result);
  } catch (...) {  // only allocation can fail there
    hr = kOleOutOfMemory;
  }
  // Only now, with the source read, may dest (possibly the source itself) be released.
  if (const int32_t cleared = VariantClear(dest); cleared != kOk && hr == kOk) hr = cleared;
  if (hr != kOk) {
    VariantClear(&result);
    return hr;
  }
  *dest = result;
  return kOk;
}

}  // namespace kvo::platform
