// Property: FindFrom, ReplaceAll and ExtractField agree with naive std::string-based versions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/fast_strings.h"
#include "text/text_utils.h"

namespace {

int32_t NaiveFindFrom(const std::string& pattern, const std::string& source, int32_t start) {
  if (pattern.empty() || pattern.size() > source.size() || start < 1) return 0;
  const size_t pos = source.find(pattern, static_cast<size_t>(start - 1));
  return pos == std::string::npos ? 0 : static_cast<int32_t>(pos + 1);
}

std::string NaiveReplaceAll(const std::string& source, const std::string& find, const std::string& replace) {
  if (find.empty()) return source;
  std::string out;
  size_t pos = 0;
  for (size_t hit = source.find(find); hit != std::string::npos; hit = source.find(find, pos)) {
    out += source.substr(pos, hit - pos) + replace;
    pos = hit + find.size();
  }
  return out + source.substr(pos);
}

std::vector<std::pair<int32_t, std::string>> NaiveSplit(const std::string& text, const std::string& delim) {
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

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

// Input: pattern length, replacement length, start (signed), field index (signed), trim flag, then the
// pattern, the replacement and the source text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 5, size - 5);
  const auto take = [&rest](size_t n) {
    const std::string piece(rest.substr(0, n));
    rest.remove_prefix(piece.size());
    return piece;
  };
  const std::string pattern = take(data[0] % 16);
  const std::string replace = take(data[1] % 16);
  const std::string source(rest);
  const int32_t start = static_cast<int8_t>(data[2]);
  const int32_t index = static_cast<int8_t>(data[3]);
  const bool trim = (data[4] & 1) != 0;

  Check(kvo::text::FindFrom(pattern, source, start) == NaiveFindFrom(pattern, source, start));
  Check(kvo::text::ReplaceAll(source, pattern, replace) == NaiveReplaceAll(source, pattern, replace));

  const auto fields = NaiveSplit(source, pattern);
  const kvo::text::Field field = kvo::text::ExtractField(source, pattern, index, trim);
  if (index >= 1 && static_cast<size_t>(index) <= fields.size()) {
    const auto& [field_start, expected] = fields[static_cast<size_t>(index) - 1];
    Check(field.text == (trim ? kvo::text::Trim(expected) : std::string_view(expected)));
    Check(field.start == field_start);
    Check(field.length == static_cast<int32_t>(expected.size()));
  } else {
    Check(field.text.empty() && field.start == -1);
  }
  return 0;
}
