// GUIDs on Windows: CoCreateGuid.
#include "platform/guid.h"

#include <windows.h>

#include <objbase.h>

namespace kvo::platform {
namespace {

void AppendHex(std::string& out, unsigned long value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    out += kHex[(value >> shift) & 0x0F];
  }
}

}  // namespace

std::string NewGuidText() {
  GUID guid{};
  CoCreateGuid(&guid);  // cannot fail short of a broken system, and then an all-zero GUID is visible
  std::string text;
  text.reserve(38);
  text += '{';
  AppendHex(text, guid.Data1, 8);
  text += '-';
  AppendHex(text, guid.Data2, 4);
  text += '-';
  AppendHex(text, guid.Data3, 4);
  text += '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += '-';
    AppendHex(text, guid.Data4[i], 2);
  }
  text += '}';
  return text;
}

}  // namespace kvo::platform
