// Lookup keys and their decoding.
#include "language/language_text.h"

#include "text/text_utils.h"

namespace kvo {

TEncodedText EncodeText(std::string_view text, bool strip_ampersands) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  TEncodedText result;
  result.Key.reserve(text.size());
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32) {
      result.Key += '%';
      result.Key += kDigits[code >> 4];
      result.Key += kDigits[code & 15];
      result.HasControl = true;
    } else if (c == '&') {
      result.HasAmpersand = true;
      if (!strip_ampersands) result.Key += c;
    } else {
      result.Key += c;
    }
  }
  return result;
}

std::string DecodeText(std::string_view text, bool strip_ampersands, bool decode_escapes) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && decode_escapes && i + 2 < text.size()) {
      const int high = text::HexDigitValue(text[i + 1]);
      const int low = text::HexDigitValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        result += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
      result += c;
    } else if (c == '&' && strip_ampersands) {
      continue;
    } else {
      result += c;
    }
  }
  return result;
}

std::string_view TrimText(std::string_view text) noexcept {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
    ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
    --end;
  return text.substr(begin, end - begin);
}

std::string WithoutAmpersands(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c != '&') result += c;
  }
  return result;
}

bool HasAsciiLetter(std::string_view text) noexcept {
  for (const char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  }
  return false;
}

}  // namespace kvo
