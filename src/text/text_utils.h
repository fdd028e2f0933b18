// Small routines on 8-bit texts shared by the framework, the parameter list, the settings store and the
// translator: copying, trimming, field extraction, "|"-list lookup.
//
// Texts are byte strings of known length (they may hold NUL bytes); positions are 1-based where the
// routines take or give one. Thread contract: [any-thread], no shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::text {

// A copy of `text` that shares no storage with it.
std::string CopyText(std::string_view text);

// Copies `count` bytes; the ranges may overlap. Nothing happens for count 0.
void CopyBytes(const void* source, void* dest, size_t count);

// Without the leading and/or trailing bytes at or below the blank (code 32): spaces and control characters.
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);

// True when both texts are equal with A-Z and a-z taken as the same letters; other bytes compare exactly.
// Inline: name look-ups of components and properties call it for every entry they pass.
inline bool SameText(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = a[i];
    const char y = b[i];
    if (x == y) continue;
    if ((x | 0x20) != (y | 0x20)) return false;
    const char lower = static_cast<char>(x | 0x20);
    if (lower < 'a' || lower > 'z') return false;
  }
  return true;
}

// The value of a hexadecimal digit of either case, -1 for any other character.
constexpr int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One field of a delimited text.
struct Field {
  std::string_view text;  // the field, trimmed when asked; a view into the source text
  int32_t length = 0;     // the field's length before trimming
  int32_t start = -1;     // 1-based position of the field in the source, -1 when there is no such field
};

// The `index`-th field (from 1) of `text`, fields separated by `delimiter` (one or more bytes). An index
// of 0 or less, or past the last field, gives an empty field with start -1; empty fields between two
// delimiters are empty texts; the last field runs to the end. `trim_field` trims the returned text only.
Field ExtractField(std::string_view text, std::string_view delimiter, int32_t index, bool trim_field = false);

// The lines of `text`: a line ends at CR LF, a lone CR or a lone LF; a final line break opens no empty
// line. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// The 0-based index of the first entry of the "|"-separated `list` equal to `item` without regard to
// letter case (the user's locale), or -1. A final "|" adds no empty entry; "||" inside gives one.
int32_t IndexOfListItem(std::string_view list, std::string_view item);

}  // namespace kvo::text
