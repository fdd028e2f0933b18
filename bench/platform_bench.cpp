// Benchmarks of the platform layer's hot paths: text conversion, variant conversion, locks and the tick
// clock.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/atomic.h"
#include "platform/clock.h"
#include "platform/lock.h"
#include "platform/oleaut.h"
#include "platform/text_codec.h"

namespace {

using namespace kvo::platform;

// 4 KiB of log text, mostly ASCII with some two- and three-byte characters, as parameter values are.
std::string LogText() {
  std::string text;
  while (text.size() < 4096)
    text +=
        "T=21.5\xC2\xB0"
        "C band=\xC2\xB1"
        "0.25 \xE2\x82\xAC ok; ";
  return text;
}

void BM_WideFromNarrow(benchmark::State& state) {
  const std::string text = LogText();
  for (auto _ : state) {
    benchmark::DoNotOptimize(WideFromNarrow(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_WideFromNarrow);

void BM_AppendNarrowFromWide(benchmark::State& state) {
  const std::u16string wide = WideFromNarrow(LogText());
  std::string out;
  for (auto _ : state) {
    out.clear();
    AppendNarrowFromWide(wide, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * wide.size() * 2));
}
BENCHMARK(BM_AppendNarrowFromWide);

void ChangeType(benchmark::State& state, OleVariant source, uint16_t vt) {
  OleVariant dest{};
  for (auto _ : state) {
    if (VariantChangeType(&dest, &source, vt) != 0) state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(dest);
  }
  VariantClear(&dest);
  VariantClear(&source);
}

OleVariant Real(double value) {
  OleVariant v{};
  v.vt = kVtR8;
  v.dblVal = value;
  return v;
}

OleVariant Text(const char16_t* text, uint32_t length) {
  OleVariant v{};
  v.vt = kVtBstr;
  v.bstrVal = BstrAlloc(text, length);
  return v;
}

void BM_RealToText(benchmark::State& state) {
  ChangeType(state, Real(21.456789), kVtBstr);
}
BENCHMARK(BM_RealToText);

void BM_TextToReal(benchmark::State& state) {
  ChangeType(state, Text(u" 21.456789 ", 11), kVtR8);
}
BENCHMARK(BM_TextToReal);

void BM_TextToInteger(benchmark::State& state) {
  ChangeType(state, Text(u"-123456", 7), kVtI4);
}
BENCHMARK(BM_TextToInteger);

void BM_RealToInteger(benchmark::State& state) {
  ChangeType(state, Real(2.5), kVtI4);
}
BENCHMARK(BM_RealToInteger);

template <typename LockType>
void BM_UncontendedLock(benchmark::State& state) {
  LockType lock;
  for (auto _ : state) {
    lock.lock();
    lock.unlock();
  }
}
BENCHMARK_TEMPLATE(BM_UncontendedLock, Lock);
BENCHMARK_TEMPLATE(BM_UncontendedLock, RecursiveLock);

void BM_AtomicIncrement(benchmark::State& state) {
  alignas(4) int32_t counter = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(AtomicIncrement(&counter));
  }
}
BENCHMARK(BM_AtomicIncrement)->Threads(1)->Threads(2);

void BM_TickCount(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(TickCount());
  }
}
BENCHMARK(BM_TickCount);

}  // namespace
