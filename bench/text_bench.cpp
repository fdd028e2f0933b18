// Benchmarks of the text utilities: search and replace on 64 KiB texts, field extraction on a short one.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "text/fast_strings.h"
#include "text/text_utils.h"

namespace {

constexpr size_t kTextSize = 64 * 1024;

// Log-like prose with a marker every `every` bytes (0: none), so the search sees realistic partial matches.
std::string MakeText(size_t every, std::string_view marker) {
  static constexpr std::string_view kFiller = "value=12.5 unit=degC state=ok; ";
  std::string text;
  text.reserve(kTextSize);
  size_t next = every;
  while (text.size() < kTextSize) {
    if (every != 0 && text.size() >= next) {
      text += marker;
      next += every;
    } else {
      text += kFiller;
    }
  }
  text.resize(kTextSize);
  return text;
}

void BM_FindFrom_PatternNearEnd(benchmark::State& state) {
  std::string text = MakeText(0, "");
  constexpr std::string_view kPattern = "state=alarm";
  text.replace(text.size() - 100, kPattern.size(), kPattern);
  for (auto _ : state)
    benchmark::DoNotOptimize(kvo::text::FindFrom(kPattern, text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FindFrom_PatternNearEnd);

void BM_FindFrom_PatternAbsent(benchmark::State& state) {
  const std::string text = MakeText(0, "");
  for (auto _ : state)
    benchmark::DoNotOptimize(kvo::text::FindFrom("state=alarm", text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FindFrom_PatternAbsent);

// Arguments: least distance between occurrences, replacement length; the find text is "<sep>" (5 bytes).
void BM_ReplaceAll(benchmark::State& state) {
  const std::string text = MakeText(static_cast<size_t>(state.range(0)), "<sep>");
  const std::string replace(static_cast<size_t>(state.range(1)), '#');
  for (auto _ : state)
    benchmark::DoNotOptimize(kvo::text::ReplaceAll(text, "<sep>", replace));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReplaceAll)
    ->ArgNames({"every", "repl"})
    ->Args({8192, 1})   // few, shrinking
    ->Args({8192, 40})  // few, growing
    ->Args({16, 1})     // many, shrinking
    ->Args({16, 40});   // many, growing

void BM_ExtractField_ThirdOfShort(benchmark::State& state) {
  constexpr std::string_view kText = "Deadband||0.5||percent of range||1";
  for (auto _ : state)
    benchmark::DoNotOptimize(kvo::text::ExtractField(kText, "||", 3, true));
}
BENCHMARK(BM_ExtractField_ThirdOfShort);

}  // namespace
