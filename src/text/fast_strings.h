// Fast exact substring search and replace-all on 8-bit texts (Boyer-Moore-Horspool skip table).
//
// Thread contract: [any-thread], no shared state; the skip table lives on the stack of each call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvo::text {

// 1-based position of the first occurrence of `pattern` in `source` at or after `start_pos` (from 1),
// or 0. An empty pattern, a pattern longer than the source or a start before 1 gives 0.
int32_t FindFrom(std::string_view pattern, std::string_view source, int32_t start_pos = 1);

// `source` with every occurrence of `find` replaced by `replace`, scanning left to right; occurrences do
// not overlap and the replacement is not searched again. An empty `find` returns `source` unchanged.
std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view replace);

}  // namespace kvo::text
