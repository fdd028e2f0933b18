// Floating-point numbers as the settings stores write them.
#include "settings/float_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kvo {

std::string FloatText(double value) {
  char text[64];  // fixed notation up to exponent 14 or down to -5 with 17 digits fits easily
  if (!std::isfinite(value)) {
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
  }
  const std::to_chars_result scientific =
      std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  const char* e = std::find(text, scientific.ptr, 'e');
  const char* digits = e + 1 < scientific.ptr && e[1] == '+' ? e + 2 : e + 1;
  int exponent = 0;
  std::from_chars(digits, scientific.ptr, exponent);
  if (exponent < -5 || exponent >= 15) return std::string(text, scientific.ptr);
  const std::to_chars_result fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, fixed.ptr);
}

}  // namespace kvo
