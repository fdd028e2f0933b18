// Text conversions on Windows: the ANSI code page through the system's converters.
#include "platform/text_codec.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace kvo::platform {
namespace {

// The system converters count in int; a 32-bit process never holds a text that long.
int SystemLength(size_t length) {
  if (length > static_cast<size_t>(INT_MAX)) throw std::length_error("text too long to convert");
  return static_cast<int>(length);
}

}  // namespace

std::u16string WideFromNarrow(std::string_view text) {
  if (text.empty()) return {};
  const int in = SystemLength(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), in, nullptr, 0);
  if (length <= 0) return {};
  std::u16string wide(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), in, reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

std::string NarrowFromWide(std::u16string_view text) {
  std::string narrow;
  AppendNarrowFromWide(text, narrow);
  return narrow;
}

void AppendNarrowFromWide(std::u16string_view text, std::string& out) {
  if (text.empty()) return;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int in = SystemLength(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, wide, in, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(length));
  WideCharToMultiByte(CP_ACP, 0, wide, in, out.data() + start, length, nullptr, nullptr);
}

std::string NarrowFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int in = SystemLength(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), in, nullptr, 0);
  if (length <= 0) return {};
  std::u16string wide(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), in, reinterpret_cast<wchar_t*>(wide.data()), length);
  return NarrowFromWide(wide);
}

void LowerNarrow(char* text, size_t length) {
  while (length > 0) {
    const DWORD piece = length > MAXDWORD ? MAXDWORD : static_cast<DWORD>(length);
    CharLowerBuffA(text, piece);
    text += piece;
    length -= piece;
  }
}

bool SameTextLocale(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  if (a.size() > static_cast<size_t>(INT_MAX) || b.size() > static_cast<size_t>(INT_MAX)) return false;
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace kvo::platform
