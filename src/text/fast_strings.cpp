// Boyer-Moore-Horspool search and the replace-all built on it.
#include "text/fast_strings.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "text/horspool.h"

namespace kvo::text {
namespace detail {

Horspool::Horspool(std::string_view pattern) : pattern_(pattern) {
  const size_t m = pattern.size();
  // 32-bit entries halve the table each call fills; a shorter shift than possible is still correct,
  // so saturating only slows patterns longer than 4 GiB.
  constexpr size_t kMaxShift = std::numeric_limits<uint32_t>::max();
  skip_.fill(static_cast<uint32_t>(std::min(m, kMaxShift)));
  // Later bytes overwrite earlier ones, so each byte keeps its distance from the pattern's last byte.
  for (size_t i = 0; i + 1 < m; ++i) {
    skip_[static_cast<unsigned char>(pattern[i])] = static_cast<uint32_t>(std::min(m - 1 - i, kMaxShift));
  }
}

size_t Horspool::Find(std::string_view source, size_t from) const {
  const size_t m = pattern_.size();
  const size_t n = source.size();
  if (m == 0 || m > n) return std::string_view::npos;
  const char* const s = source.data();
  const char* const p = pattern_.data();
  const size_t last = m - 1;
  for (size_t pos = from; pos <= n - m; pos += skip_[static_cast<unsigned char>(s[pos + last])]) {
    size_t j = last;
    while (s[pos + j] == p[j]) {
      if (j == 0) return pos;
      --j;
    }
  }
  return std::string_view::npos;
}

}  // namespace detail

int32_t FindFrom(std::string_view pattern, std::string_view source, int32_t start_pos) {
  if (start_pos < 1 || pattern.empty() || pattern.size() > source.size()) return 0;
  // A match starting beyond INT32_MAX has no 1-based int32 position; searching there is pointless.
  constexpr size_t kMaxStart = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;
  if (source.size() - pattern.size() > kMaxStart) source = source.substr(0, kMaxStart + pattern.size());
  const size_t pos = detail::Horspool(pattern).Find(source, static_cast<size_t>(start_pos) - 1);
  return pos == std::string_view::npos ? 0 : static_cast<int32_t>(pos + 1);
}

namespace {

// n * num / den without overflow; 0 when the result would not fit, which sends the caller to its fallback.
size_t ScaledOrZero(size_t n, size_t num, size_t den) {
  if (num != 0 && n > std::numeric_limits<size_t>::max() / num) return 0;
  return n * num / den;
}

size_t SaturatingAdd(size_t a, size_t b) {
  return a > std::numeric_limits<size_t>::max() - b ? std::numeric_limits<size_t>::max() : a + b;
}

// Appends `piece`, growing by half again when it would not fit, so a long run of small pieces
// costs a handful of reallocations rather than one per piece.
void AppendPiece(std::string& out, const char* piece, size_t count) {
  if (count == 0) return;
  const size_t needed = SaturatingAdd(out.size(), count);
  if (needed > out.capacity()) {
    const size_t grown = SaturatingAdd(out.capacity(), out.capacity() / 2);
    out.reserve(std::min(std::max(grown, needed), out.max_size()));
  }
  out.append(piece, count);
}

}  // namespace

std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view replace) {
  if (source.empty()) return {};
  if (find.empty()) return std::string(source);

  const size_t n = source.size();
  std::string out;
  // One reservation up front: the source length, or for a growing replacement the most every byte of
  // the source being part of an occurrence could need.
  size_t size = replace.size() > find.size() ? ScaledOrZero(n, replace.size(), find.size()) : n;
  if (size == 0 || size > out.max_size()) {
    const size_t sum = SaturatingAdd(n, replace.size());
    size = SaturatingAdd(sum, sum / 2);
  }
  // The estimate is a worst case; past this much, growing on demand beats failing to allocate it.
  constexpr size_t kUpFrontLimit = size_t{64} << 20;
  size = std::min({size, std::max(n, kUpFrontLimit), out.max_size()});
  out.reserve(size);

  const detail::Horspool searcher(find);
  size_t pos = 0;
  for (size_t hit = searcher.Find(source, 0); hit != std::string_view::npos;
       hit = searcher.Find(source, pos)) {
    AppendPiece(out, source.data() + pos, hit - pos);
    AppendPiece(out, replace.data(), replace.size());
    pos = hit + find.size();
  }
  AppendPiece(out, source.data() + pos, n - pos);
  // A generous estimate for few growing occurrences would otherwise stay with the caller as slack.
  if (out.capacity() / 2 > out.size()) out.shrink_to_fit();
  return out;
}

}  // namespace kvo::text
