// Costs of the data path as a host sees it: blocks handed to the exported ProcessData in the filter role
// ("TYPE" 32) on a loaded deadband instance whose items were built from settings in an INI file. So each
// figure includes the entry point's guard, the instance lookup, the framework's data core and the filter.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_host.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"
#include "support/deadband_ini.h"

#include "alloc_counter.h"

namespace {

using kvo::TParamsList;
using kvo::TRowsParamsList;
using kvo::Variant;

constexpr double kPi = 3.14159265358979323846;

::TParamsList* Out(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}

// Every benchmark run takes fresh handles, so its items start from their first values.
std::atomic<int32_t> g_next_handle{1000};

// A handle whose instance is loaded with the given settings, and the call parameters of the filter role.
class LoadedHandle {
 public:
  explicit LoadedHandle(const std::string& settings) : handle_(g_next_handle.fetch_add(1)) {
    static const bool registered = (kvo::RegisterDeadbandPlugin(), true);
    (void)registered;
    ini_ = (std::filesystem::temp_directory_path() /
            ("kvo-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
             "-" + std::to_string(handle_) + ".ini"))
               .string();
    kvo::TkvoPlugin* instance = nullptr;
    TParamsList load;
    load.Add("COMMAND", Variant::FromText("LOAD"));
    load.Add("INI-FILE", Variant::FromText(ini_));
    ok_ = kvo::testing::WriteTextFile(ini_, settings) && kvo::GetPluginInstance(handle_, &load, &instance) &&
          instance->InheritsFrom(kvo::TaPlugin::StaticClass) &&
          ::ExecutePluginCommand(handle_, Out(&load)) == 0;
    parameters_.Add("TYPE", Variant::FromInt(32));
  }
  ~LoadedHandle() {
    std::error_code ignored;
    std::filesystem::remove(ini_, ignored);
  }

  bool ok() const { return ok_; }
  // Filters one block; true when it passed (the host received rows).
  bool Filter(TParamsList* block) { return FilterRows(block) != nullptr; }
  // Filters one block; the rows lent, or null when it was dropped.
  TParamsList* FilterRows(TParamsList* block) {
    void* data = block;
    ::TParamsList* rows = nullptr;
    const int32_t result = ::ProcessData(handle_, 0, Out(&parameters_), &data, &rows);
    benchmark::DoNotOptimize(result);
    return reinterpret_cast<TParamsList*>(rows);
  }

 private:
  int32_t handle_;
  std::string ini_;
  bool ok_ = false;
  TParamsList parameters_;
};

std::string Settings(int32_t relationship, const std::vector<std::pair<std::string, double>>& slots,
                     int32_t type) {
  std::vector<kvo::testing::DeadbandSlot> list;
  for (const auto& [name, band] : slots)
    list.push_back({name, type, band});
  return kvo::testing::DeadbandIniText(relationship, list);
}

// 50 + 10 sin(2 pi i / 1000) plus a small deterministic noise, for 10 periods.
const std::vector<double>& Waveform() {
  static const std::vector<double> values = [] {
    std::vector<double> v(10000);
    uint32_t seed = 12345;
    for (size_t i = 0; i < v.size(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      const double noise = (static_cast<double>(seed >> 8) / double(1u << 24) - 0.5) * 0.1;
      v[i] = 50 + 10 * std::sin(2 * kPi * static_cast<double>(i) / 1000) + noise;
    }
    return v;
  }();
  return values;
}

// W1: a block of one double and a row marker that the host reuses, replacing the value in place; one
// absolute item with band 0.5. Time per block, passed blocks included.
void BM_W1_OneValueBlock(benchmark::State& state) {
  const std::vector<double>& values = Waveform();
  LoadedHandle handle(Settings(0, {{"Value", 0.5}}, 0));
  if (!handle.ok()) return state.SkipWithError("cannot load the instance");
  TRowsParamsList block;
  block.Add("Value", Variant::FromDouble(values[0]));
  block.NewRow();
  kvo::TParamsListElement* element = block.Element(0);
  size_t i = 0;
  uint64_t passed = 0;
  uint64_t dropped = 0;
  uint64_t dropped_allocations = 0;
  kvo::bench::SetAllocationCounting(true);
  for (auto _ : state) {
    element->SetValue(Variant::FromDouble(values[i]));
    if (++i == values.size()) i = 0;
    const uint64_t before = kvo::bench::AllocationCount();
    if (handle.Filter(&block)) {
      ++passed;
    } else {
      ++dropped;
      dropped_allocations += kvo::bench::AllocationCount() - before;
    }
  }
  kvo::bench::SetAllocationCounting(false);
  state.counters["passed_share"] = static_cast<double>(passed) / static_cast<double>(passed + dropped);
  if (dropped != 0) {
    state.counters["allocs_per_dropped_block"] =
        static_cast<double>(dropped_allocations) / static_cast<double>(dropped);
  }
  state.counters["malloc_counted"] = kvo::bench::CountsMalloc();
}
BENCHMARK(BM_W1_OneValueBlock);

// W1 as a C host writes it: the block is made with the SDK and its value set by name with
// kvo_params_set_double before each call. Under callgrind (see bench/README.md) the instructions per block
// of this loop are the figure the data path is held to.
void BM_W1_SdkHostLoop(benchmark::State& state) {
  const std::vector<double>& values = Waveform();
  LoadedHandle handle(Settings(0, {{"Value", 0.5}}, 0));
  if (!handle.ok()) return state.SkipWithError("cannot load the instance");
  ::TParamsList* block = kvo_rows_new();
  kvo_params_add_double(block, "Value", values[0]);
  kvo_params_new_row(block);
  size_t i = 0;
  uint64_t passed = 0;
  for (auto _ : state) {
    kvo_params_set_double(block, "Value", values[i], 0);
    if (++i == values.size()) i = 0;
    passed += handle.Filter(reinterpret_cast<TParamsList*>(block));
  }
  kvo_params_free(block);
  state.counters["passed_share"] = static_cast<double>(passed) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_W1_SdkHostLoop);

// The host's part of W1 alone: one double set by name on a two-element list.
void BM_SdkSetDoubleTwoElements(benchmark::State& state) {
  ::TParamsList* block = kvo_rows_new();
  kvo_params_add_double(block, "Value", 0);
  kvo_params_new_row(block);
  double value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kvo_params_set_double(block, "Value", value, 0));
    value += 0.25;
  }
  kvo_params_free(block);
}
BENCHMARK(BM_SdkSetDoubleTwoElements);

// Rows of seven values and a row marker, `elements` elements in all.
void FillRows(TParamsList& block, int64_t elements) {
  for (int64_t i = 0; i < elements; ++i) {
    if (i % 8 == 7) {
      block.NewRow();
    } else {
      block.Add("Column_" + std::to_string(i % 8), Variant::FromDouble(20.0 + static_cast<double>(i % 8)));
    }
  }
}

// Dropped blocks of 8, 64 and 512 elements with eight items: four watch columns of every row (measured at
// each occurrence), four watch names that never occur, so under AND no block ever passes.
void BM_DroppedBlockPerElement(benchmark::State& state) {
  LoadedHandle handle(Settings(0,
                               {{"Column_0", 1e9},
                                {"Column_2", 1e9},
                                {"Column_4", 1e9},
                                {"Column_6", 1e9},
                                {"Pressure", 1},
                                {"Flow_out", 1},
                                {"Level_01", 1},
                                {"Speed_01", 1}},
                               0));
  if (!handle.ok()) return state.SkipWithError("cannot load the instance");
  TRowsParamsList block;
  FillRows(block, state.range(0));
  handle.Filter(&block);  // the watched columns take their first values
  uint64_t passed = 0;
  kvo::bench::SetAllocationCounting(true);
  const uint64_t before = kvo::bench::AllocationCount();
  for (auto _ : state)
    passed += handle.Filter(&block);
  const uint64_t allocations = kvo::bench::AllocationCount() - before;
  kvo::bench::SetAllocationCounting(false);
  if (passed != 0) return state.SkipWithError("a block passed");
  const auto elements = static_cast<double>(block.Count());
  state.SetItemsProcessed(state.iterations() * block.Count());
  state.counters["time_per_element"] = benchmark::Counter(
      elements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_block"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DroppedBlockPerElement)->Arg(8)->Arg(64)->Arg(512);

// A block that passes at its first element: the whole block is copied into the result rows (and the
// previous copy is emptied first, as on every call). Time per copied element.
void BM_PassingBlockPerCopiedElement(benchmark::State& state) {
  LoadedHandle handle(Settings(1, {{"Column_0", 1}}, 3));  // count limit 1: every occurrence passes
  if (!handle.ok()) return state.SkipWithError("cannot load the instance");
  TRowsParamsList block;
  FillRows(block, state.range(0));
  uint64_t passed = 0;
  kvo::bench::SetAllocationCounting(true);
  const uint64_t before = kvo::bench::AllocationCount();
  for (auto _ : state)
    passed += handle.Filter(&block);
  const uint64_t allocations = kvo::bench::AllocationCount() - before;
  kvo::bench::SetAllocationCounting(false);
  if (passed != static_cast<uint64_t>(state.iterations())) return state.SkipWithError("a block was dropped");
  const auto elements = static_cast<double>(block.Count());
  state.SetItemsProcessed(state.iterations() * block.Count());
  state.counters["time_per_copied_element"] = benchmark::Counter(
      elements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_copied_element"] =
      static_cast<double>(allocations) / (static_cast<double>(state.iterations()) * elements);
}
BENCHMARK(BM_PassingBlockPerCopiedElement)->Arg(8)->Arg(64)->Arg(512);

// W1 on one handle per thread: the aggregate blocks per second of two threads against one.
void BM_W1_HandlePerThread(benchmark::State& state) {
  const std::vector<double>& values = Waveform();
  LoadedHandle handle(Settings(0, {{"Value", 0.5}}, 0));
  if (!handle.ok()) return state.SkipWithError("cannot load the instance");
  TRowsParamsList block;
  block.Add("Value", Variant::FromDouble(values[0]));
  block.NewRow();
  kvo::TParamsListElement* element = block.Element(0);
  size_t i = static_cast<size_t>(state.thread_index()) * 250;
  for (auto _ : state) {
    element->SetValue(Variant::FromDouble(values[i]));
    if (++i == values.size()) i = 0;
    handle.Filter(&block);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_W1_HandlePerThread)->Threads(1)->Threads(2)->UseRealTime();

// Several threads on ONE handle, band 0 so that every block passes, each block tagged with its thread:
// every call must get rows holding its own block. Blocks per second of four threads against one.
void BM_W1_ThreadsOnOneHandle(benchmark::State& state) {
  static std::unique_ptr<LoadedHandle> shared;
  if (state.thread_index() == 0) shared = std::make_unique<LoadedHandle>(Settings(0, {{"Value", 0}}, 0));
  LoadedHandle* handle = nullptr;
  const std::vector<double>& values = Waveform();
  TRowsParamsList block;
  block.Add("Value", Variant::FromDouble(values[0]));
  block.Add("thread", Variant::FromInt(state.thread_index()));
  block.NewRow();
  kvo::TParamsListElement* element = block.Element(0);
  size_t i = static_cast<size_t>(state.thread_index()) * 250;
  uint64_t foreign_or_lost = 0;
  for (auto _ : state) {
    if (!handle) handle = shared.get();  // after the loop's start barrier, so after thread 0's set-up
    if (!handle->ok()) {
      state.SkipWithError("cannot load the instance");
      break;
    }
    const double value = values[i];
    element->SetValue(Variant::FromDouble(value));
    if (++i == values.size()) i = 0;
    const TParamsList* rows = handle->FilterRows(&block);
    if (!rows || rows->Count() != 3 || rows->Element(0)->Value().raw().dblVal != value ||
        rows->Element(1)->Value().raw().lVal != state.thread_index()) {
      ++foreign_or_lost;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["foreign_or_lost"] = benchmark::Counter(static_cast<double>(foreign_or_lost));
}
BENCHMARK(BM_W1_ThreadsOnOneHandle)->Threads(1)->Threads(4)->UseRealTime();

// Control for the figure above: arithmetic that shares nothing. When two threads do not get about twice
// its one-thread rate here, the machine did not give the run two free cores.
void BM_Control_ComputeOnly(benchmark::State& state) {
  double x = 1.0 + state.thread_index();
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i)
      x = x * 1.0000001 + 0.5;
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Control_ComputeOnly)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
