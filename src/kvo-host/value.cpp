#include "kvo-host/value.h"

#include <charconv>
#include <limits>

namespace kvo::host {

bool FieldValue::AsDouble(double* out) const {
  switch (kind) {
    case ValueKind::kInt32:
    case ValueKind::kInt64:
    case ValueKind::kBool:
      *out = static_cast<double>(integer);
      return true;
    case ValueKind::kDouble:
      *out = number;
      return true;
    default:
      return false;
  }
}

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool ParseNumber(std::string_view text, FieldValue* out) {
  size_t i = 0;
  const size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t digits_from = i;
  while (i < n && IsDigit(text[i]))
    ++i;
  size_t digits = i - digits_from;
  bool integral = true;
  if (i < n && text[i] == '.') {
    integral = false;
    ++i;
    const size_t fraction_from = i;
    while (i < n && IsDigit(text[i]))
      ++i;
    digits += i - fraction_from;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    integral = false;
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t exponent_from = i;
    while (i < n && IsDigit(text[i]))
      ++i;
    if (i == exponent_from) return false;
  }
  if (i != n) return false;

  // from_chars takes no leading "+".
  std::string_view body = text;
  if (body.front() == '+') body.remove_prefix(1);
  const char* first = body.data();
  const char* last = body.data() + body.size();
  if (integral) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc() && end == last) {
      const bool fits32 =
          value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
      out->kind = fits32 ? ValueKind::kInt32 : ValueKind::kInt64;
      out->integer = value;
      out->text = text;
      return true;
    }
    // Beyond 64 bits: a decimal.
  }
  double value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last || (error != std::errc() && error != std::errc::result_out_of_range)) return false;
  if (error == std::errc::result_out_of_range) return false;  // a text, rather than a silent infinity or 0
  out->kind = ValueKind::kDouble;
  out->number = value;
  out->text = text;
  return true;
}

FieldValue TypeCsvField(std::string_view text, bool quoted) {
  FieldValue value;
  value.text = text;
  if (text.empty()) {
    value.kind = quoted ? ValueKind::kText : ValueKind::kNull;
    return value;
  }
  if (ParseNumber(text, &value)) return value;
  value.kind = ValueKind::kText;
  return value;
}

std::string_view ItemTypeName(ValueKind kind) {
  switch (kind) {
    case ValueKind::kInt32:
    case ValueKind::kInt64:
      return "Integer";
    case ValueKind::kDouble:
      return "Float";
    case ValueKind::kBool:
      return "Boolean";
    case ValueKind::kText:
      return "String";
    default:
      return "";
  }
}

}  // namespace kvo::host
