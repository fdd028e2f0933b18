// Naive std::string::find versions of the text search routines, the reference that the fast ones are
// compared with (differential tests and the fuzz target). Header only; slow on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvo::testing {

inline int32_t NaiveFindFrom(const std::string& pattern, const std::string& source, int32_t start) {
  if (pattern.empty() || pattern.size() > source.size() || start < 1) return 0;
  const size_t pos = source.find(pattern, static_cast<size_t>(start - 1));
  return pos == std::string::npos ? 0 : static_cast<int32_t>(pos + 1);
}

inline std::string NaiveReplaceAll(const std::string& source, const std::string& find,
                                   const std::string& replace) {
  if (find.empty()) return source;
  std::string out;
  size_t pos = 0;
  for (size_t hit = source.find(find); hit != std::string::npos; hit = source.find(find, pos)) {
    out += source.substr(pos, hit - pos) + replace;
    pos = hit + find.size();
  }
  return out + source.substr(pos);
}

// Every field as (1-based start, text); an empty delimiter leaves the text whole.
inline std::vector<std::pair<int32_t, std::string>> NaiveSplit(const std::string& text,
                                                               const std::string& delim) {
  std::vector<std::pair<int32_t, std::string>> fields;
  size_t pos = 0;
  for (size_t hit = delim.empty() ? std::string::npos : text.find(delim); hit != std::string::npos;
       hit = text.find(delim, pos)) {
    fields.emplace_back(static_cast<int32_t>(pos + 1), text.substr(pos, hit - pos));
    pos = hit + delim.size();
  }
  fields.emplace_back(static_cast<int32_t>(pos + 1), text.substr(pos));
  return fields;
}

}  // namespace kvo::testing
