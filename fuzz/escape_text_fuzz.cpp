// Property: UnescapeText(EscapeText(t)) gives t back up to its first NUL, and the escaped form holds no
// control character and no blank at either end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/escape_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view text = input.substr(0, input.find('\0'));
  const std::string escaped = kvo::EscapeText(input);
  for (const unsigned char c : escaped)
    if (c < 32) std::abort();
  if (!escaped.empty() && (escaped.front() == ' ' || escaped.back() == ' ')) std::abort();
  if (kvo::UnescapeText(escaped) != text) std::abort();
  // Unescaping arbitrary text must not crash either.
  (void)kvo::UnescapeText(input);
  return 0;
}
