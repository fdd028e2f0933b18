// Text conversions on POSIX: 8-bit text is UTF-8; invalid input becomes U+FFFD.
#include "platform/text_codec.h"

namespace kvo::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Calls emit(code point) for each character of `text`. Each maximal invalid subpart (a byte that cannot
// start a sequence, or the valid prefix of a broken one) becomes one U+FFFD, as Unicode recommends.
template <typename Emit>
void DecodeUtf8(std::string_view text, Emit&& emit) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned lead = *p;
    if (lead < 0x80) {
      emit(char32_t(lead));
      ++p;
      continue;
    }
    int trail;
    char32_t cp;
    // The second byte's range excludes overlongs (E0, F0), surrogates (ED) and values above U+10FFFF (F4).
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trail = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trail = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trail = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      emit(kReplacement);
      ++p;
      continue;
    }
    ++p;
    bool complete = true;
    for (int i = 0; i < trail; ++i, ++p) {
      if (p == end || *p < low || *p > high) {
        complete = false;
        break;
      }
      cp = (cp << 6) | (*p & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    emit(complete ? cp : kReplacement);
  }
}

// Calls emit(code point) for each character of `text`; unpaired surrogates become U+FFFD.
template <typename Emit>
void DecodeUtf16(std::u16string_view text, Emit&& emit) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = text[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
      emit(unit);
    } else if (unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      emit(0x10000 + ((unit - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else {
      emit(kReplacement);
    }
  }
}

size_t Utf8Length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

char* PutUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    *out++ = char(cp);
  } else if (cp < 0x800) {
    *out++ = char(0xC0 | (cp >> 6));
    *out++ = char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = char(0xE0 | (cp >> 12));
    *out++ = char(0x80 | ((cp >> 6) & 0x3F));
    *out++ = char(0x80 | (cp & 0x3F));
  } else {
    *out++ = char(0xF0 | (cp >> 18));
    *out++ = char(0x80 | ((cp >> 12) & 0x3F));
    *out++ = char(0x80 | ((cp >> 6) & 0x3F));
    *out++ = char(0x80 | (cp & 0x3F));
  }
  return out;
}

char ToLowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

// Both directions decode twice, counting then writing, so the result is allocated once at its exact size.
std::u16string WideFromNarrow(std::string_view text) {
  size_t length = 0;
  DecodeUtf8(text, [&](char32_t cp) { length += cp >= 0x10000 ? 2 : 1; });
  std::u16string wide(length, u'\0');
  char16_t* out = wide.data();
  DecodeUtf8(text, [&](char32_t cp) {
    if (cp >= 0x10000) {
      *out++ = char16_t(0xD800 + ((cp - 0x10000) >> 10));
      *out++ = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      *out++ = char16_t(cp);
    }
  });
  return wide;
}

std::string NarrowFromWide(std::u16string_view text) {
  std::string narrow;
  AppendNarrowFromWide(text, narrow);
  return narrow;
}

void AppendNarrowFromWide(std::u16string_view text, std::string& out) {
  size_t length = 0;
  DecodeUtf16(text, [&](char32_t cp) { length += Utf8Length(cp); });
  const size_t start = out.size();
  out.resize(start + length);
  char* p = out.data() + start;
  DecodeUtf16(text, [&](char32_t cp) { p = PutUtf8(cp, p); });
}

std::string NarrowFromUtf8(std::string_view text) {
  return std::string(text);
}

void LowerNarrow(char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    text[i] = ToLowerAscii(text[i]);
  }
}

bool SameTextLocale(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace kvo::platform
