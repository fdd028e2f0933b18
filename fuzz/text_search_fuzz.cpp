// Property: FindFrom, ReplaceAll and ExtractField agree with naive std::string-based versions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/naive_text.h"
#include "text/fast_strings.h"
#include "text/text_utils.h"

namespace {

using kvo::testing::NaiveFindFrom;
using kvo::testing::NaiveReplaceAll;
using kvo::testing::NaiveSplit;

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
