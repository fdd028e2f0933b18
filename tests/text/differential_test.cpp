// Compares the search-based routines with naive std::string::find versions on many small random texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/naive_text.h"
#include "text/fast_strings.h"
#include "text/text_utils.h"

namespace kvo::text {
namespace {

using testing::NaiveFindFrom;
using testing::NaiveReplaceAll;
using testing::NaiveSplit;

// A tiny alphabet makes partial matches, repeats and skip-table corner cases frequent; NUL and 0xFF
// catch signed-byte indexing.
class RandomTexts {
 public:
  std::string Make(size_t max_length) {
    static constexpr char kAlphabet[] = {'a', 'b', 'c', '\0', '\xff'};
    std::string text(rng_() % (max_length + 1), ' ');
    for (char& c : text)
      c = kAlphabet[rng_() % 5 < 3 ? rng_() % 2 : rng_() % 5];
    return text;
  }
  // Half the time a piece of `source`, so occurrences are common.
  std::string Pattern(const std::string& source, size_t max_length) {
    if (source.empty() || rng_() % 2 == 0) return Make(max_length);
    const size_t at = rng_() % source.size();
    return source.substr(at, rng_() % (max_length + 1));
  }
  int32_t Below(int32_t bound) { return static_cast<int32_t>(rng_() % static_cast<uint32_t>(bound)); }

 private:
  std::mt19937 rng_{20240611u};
};

constexpr int kRounds = 20000;

TEST(FindFromDifferential, AgreesWithNaiveSearch) {
  RandomTexts random;
  for (int round = 0; round < kRounds; ++round) {
    const std::string source = random.Make(16);
    const std::string pattern = random.Pattern(source, 5);
    const int32_t start = random.Below(static_cast<int32_t>(source.size()) + 4) - 1;
    ASSERT_EQ(FindFrom(pattern, source, start), NaiveFindFrom(pattern, source, start))
        << "round " << round << ", start " << start;
  }
}

TEST(ReplaceAllDifferential, AgreesWithNaiveReplace) {
  RandomTexts random;
  for (int round = 0; round < kRounds; ++round) {
    const std::string source = random.Make(16);
    const std::string find = random.Pattern(source, 4);
    const std::string replace = random.Make(6);
    ASSERT_EQ(ReplaceAll(source, find, replace), NaiveReplaceAll(source, find, replace)) << "round " << round;
  }
}

TEST(ExtractFieldDifferential, AgreesWithNaiveSplit) {
  RandomTexts random;
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = random.Make(16);
    const std::string delim = random.Pattern(text, 3);
    const auto fields = NaiveSplit(text, delim);
    const int32_t index = random.Below(static_cast<int32_t>(fields.size()) + 2);
    const Field field = ExtractField(text, delim, index);
    if (index >= 1 && static_cast<size_t>(index) <= fields.size()) {
      const auto& [start, expected] = fields[static_cast<size_t>(index) - 1];
      ASSERT_EQ(field.text, expected) << "round " << round;
      ASSERT_EQ(field.start, start) << "round " << round;
      ASSERT_EQ(field.length, static_cast<int32_t>(expected.size())) << "round " << round;
    } else {
      ASSERT_TRUE(field.text.empty()) << "round " << round;
      ASSERT_EQ(field.start, -1) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace kvo::text
