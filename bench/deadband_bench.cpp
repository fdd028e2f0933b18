// Costs of the deadband filter engine on the data path: a one-value block as a live export sends it,
// dropped blocks of several sizes, and a passing block that is copied whole.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "deadband/deadband_filter.h"
#include "deadband/deadband_settings.h"
#include "params/params_list.h"

#include "alloc_counter.h"

namespace {

using kvo::DeadbandFilter;
using kvo::MemoryDeadbandSettings;
using kvo::TParamsList;
using kvo::TRowsParamsList;
using kvo::Variant;

constexpr double kPi = 3.14159265358979323846;

// 50 + 10 sin(2 pi i / 1000) plus a small deterministic noise, for 10 periods.
std::vector<double> Waveform() {
  std::vector<double> values(10000);
  uint32_t seed = 12345;
  for (size_t i = 0; i < values.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(seed >> 8) / double(1u << 24) - 0.5) * 0.1;
    values[i] = 50 + 10 * std::sin(2 * kPi * static_cast<double>(i) / 1000) + noise;
  }
  return values;
}

// W1: one double and a row marker, the value replaced in place; one absolute item, band 0.5.
void BM_W1_OneValueBlock(benchmark::State& state) {
  const std::vector<double> values = Waveform();
  DeadbandFilter filter;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "Temperature", 0, 0.5);
  filter.BuildItems(settings);
  TParamsList block;
  block.Add("Temperature", Variant::FromDouble(values[0]));
  block.NewRow();
  TRowsParamsList rows;
  Variant& value = block.Element(0)->Value();
  size_t i = 0;
  uint64_t passed = 0;
  uint64_t dropped = 0;
  uint64_t dropped_allocations = 0;
  kvo::bench::SetAllocationCounting(true);
  for (auto _ : state) {
    value = Variant::FromDouble(values[i]);
    if (++i == values.size()) i = 0;
    const uint64_t before = kvo::bench::AllocationCount();
    filter.ProcessData(&block, &rows);
    if (rows.Count() != 0) {
      ++passed;
    } else {
      ++dropped;
      dropped_allocations += kvo::bench::AllocationCount() - before;
    }
  }
  kvo::bench::SetAllocationCounting(false);
  state.counters["passed_share"] = static_cast<double>(passed) / static_cast<double>(passed + dropped);
  state.counters["allocs_per_dropped_block"] =
      dropped != 0 ? static_cast<double>(dropped_allocations) / static_cast<double>(dropped) : 0.0;
}
BENCHMARK(BM_W1_OneValueBlock);

// Rows of seven values and a marker; eight items, four of which watch columns of the rows (all of the
// same name length, so every compare reaches the bytes) and four that never occur, so under AND every
// block is dropped while the watched columns are still measured.
void FillRows(TParamsList& block, int elements) {
  for (int i = 0; i < elements; ++i) {
    if (i % 8 == 7) {
      block.NewRow();
    } else {
      block.Add("Column_" + std::to_string(i % 8), Variant::FromDouble(20 + i % 8));
    }
  }
}

void BM_DroppedBlock(benchmark::State& state) {
  DeadbandFilter filter;
  MemoryDeadbandSettings settings;
  const char* names[] = {"Column_0", "Column_2", "Column_4", "Column_6",
                         "Pressure", "Flow_out", "Level_01", "Speed_01"};
  for (int n = 0; n < 8; ++n)
    settings.SetSlot(n + 1, names[n], 0, 1e9);
  filter.BuildItems(settings);
  TParamsList block;
  FillRows(block, static_cast<int>(state.range(0)));
  TRowsParamsList rows;
  filter.ProcessData(&block, &rows);
  for (auto _ : state) {
    filter.ProcessData(&block, &rows);
    benchmark::DoNotOptimize(rows.Count());
  }
  if (rows.Count() != 0) state.SkipWithError("a block passed");
  state.SetItemsProcessed(state.iterations() * block.Count());
}
BENCHMARK(BM_DroppedBlock)->Arg(8)->Arg(64)->Arg(512);

// A block that passes at its first element: the rest is copied without evaluation. Each call also empties
// the previous result, as it does on the data path.
void BM_PassingBlock(benchmark::State& state) {
  DeadbandFilter filter;
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "Column_0", 3, 1);  // count limit 1: every occurrence passes
  filter.BuildItems(settings);
  TParamsList block;
  FillRows(block, static_cast<int>(state.range(0)));
  TRowsParamsList rows;
  for (auto _ : state) {
    filter.ProcessData(&block, &rows);
    benchmark::DoNotOptimize(rows.Count());
  }
  if (rows.Count() != block.Count()) state.SkipWithError("the block did not pass whole");
  state.SetItemsProcessed(state.iterations() * block.Count());
}
BENCHMARK(BM_PassingBlock)->Arg(8)->Arg(64);

}  // namespace
