// Private to the text library: the Boyer-Moore-Horspool searcher behind FindFrom, ReplaceAll and
// ExtractField.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kvo::text::detail {

// Built once per call and reused for every occurrence, so repeated searches for the same pattern do not
// rebuild the skip table. Lives on the caller's stack; holds a view of the pattern, not a copy.
class Horspool {
 public:
  explicit Horspool(std::string_view pattern);

  // 0-based offset of the first occurrence starting at or after `from`, or std::string_view::npos.
  // An empty pattern is never found.
  size_t Find(std::string_view source, size_t from) const;

 private:
  std::string_view pattern_;
  std::array<uint32_t, 256> skip_;
};

}  // namespace kvo::text::detail
