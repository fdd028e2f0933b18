#include "settings/escape_text.h"

#include <cstddef>

#include "text/text_utils.h"

namespace kvo {

std::string EscapeText(std::string_view text) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == ' ') {
      const bool inner = first != std::string_view::npos && i > first && i < last;
      out += inner ? ' ' : '+';
    } else if (c == '%') {
      out += "%%";
    } else if (c < 32 || c == '+') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      ++i;
    } else if (c == '%' && i + 2 < text.size() && text::HexDigitValue(text[i + 1]) >= 0 &&
               text::HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(text::HexDigitValue(text[i + 1]) * 16 + text::HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kvo
