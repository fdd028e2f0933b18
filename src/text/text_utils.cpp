// Copying, trimming, field extraction and "|"-list lookup on 8-bit texts.
#include "text/text_utils.h"

#include <cstring>
#include <limits>

#include "platform/text_codec.h"
#include "text/horspool.h"

namespace kvo::text {
namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Positions and lengths past INT32_MAX cannot be reported; they saturate rather than wrap negative.
int32_t ClampToInt32(size_t value) {
  constexpr auto kMax = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(value < kMax ? value : kMax);
}

}  // namespace

std::string CopyText(std::string_view text) {
  return std::string(text);
}

void CopyBytes(const void* source, void* dest, size_t count) {
  // memmove with a null pointer is undefined even for zero bytes.
  if (count == 0) return;
  std::memmove(dest, source, count);
}

std::string_view TrimLeft(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first]))
    ++first;
  return text.substr(first);
}

std::string_view TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1]))
    --end;
  return text.substr(0, end);
}

std::string_view Trim(std::string_view text) {
  return TrimLeft(TrimRight(text));
}

Field ExtractField(std::string_view text, std::string_view delimiter, int32_t index, bool trim_field) {
  Field field;
  if (index <= 0) return field;
  // One skip table for all fields; an empty delimiter is never found, so field 1 is the whole text.
  const detail::Horspool searcher(delimiter);
  size_t start = 0;  // may reach text.size() when the text ends in a delimiter: an empty last field
  for (int32_t k = 1;; ++k) {
    const size_t hit = searcher.Find(text, start);
    if (k == index) {
      const size_t end = hit == std::string_view::npos ? text.size() : hit;
      const std::string_view raw = text.substr(start, end - start);
      field.text = trim_field ? Trim(raw) : raw;
      field.length = ClampToInt32(raw.size());
      field.start = ClampToInt32(start + 1);
      return field;
    }
    if (hit == std::string_view::npos) return field;
    start = hit + delimiter.size();
  }
}

int32_t IndexOfListItem(std::string_view list, std::string_view item) {
  // An empty item gives -1 even where "||" makes an empty entry: an empty text names no entry.
  if (item.empty()) return -1;
  int32_t index = 0;
  size_t start = 0;
  while (start < list.size()) {
    const size_t bar = list.find('|', start);
    const size_t end = bar == std::string_view::npos ? list.size() : bar;
    // No length shortcut: a locale may fold texts of different byte lengths to equal.
    if (platform::SameTextLocale(list.substr(start, end - start), item)) return index;
    if (bar == std::string_view::npos) break;
    start = bar + 1;
    ++index;
  }
  return -1;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace kvo::text
