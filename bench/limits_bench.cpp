// The size limits, each over sizes up to its limit: a 100 MB INI file (load, read, change, save), blocks
// of up to 1,000,000 elements through the exported ProcessData, a variable name of up to 1 MB (announced,
// watched and matched), a language file of up to 100,000 blocks (load and look up) and an item list text
// of up to 10 MB ("SET ITEMS" and "ITEMS"). Each reports its fitted complexity, the bytes it handled, and
// the peak memory of the process above what it used before the run, relative to the input ("mem_x_input";
// the high-water mark is reset for each size). Inputs are made outside the timed part.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "language/wtransl.h"
#include "limits/limits_inputs.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"
#include "settings/big_ini.h"
#include "support/deadband_ini.h"

namespace {

using kvo::TParamsList;
using kvo::Variant;

// Under a sanitizer the figures mean nothing and the full sizes are the limits test's business: the smoke
// run of such a build takes each size at a sixteenth.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int64_t kScale = 16;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int64_t kScale = 16;
#else
constexpr int64_t kScale = 1;
#endif
#else
constexpr int64_t kScale = 1;
#endif

// --- memory ---

// A field of /proc/self/status in bytes; 0 where there is none.
int64_t StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return std::stoll(line.substr(prefix.size())) * 1024;
  }
  return 0;
}

// The process's peak resident memory above its level at the start of a measurement. Freed heap memory is
// handed back first and the high-water mark is reset to the current level, so each size is measured on
// its own.
class PeakMemory {
 public:
  PeakMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    reset_ = !clear.fail();
    start_ = StatusBytes("VmRSS");
  }
  // Reports the peak above the start relative to `input_bytes`.
  void Report(benchmark::State& state, double input_bytes) const {
    const auto above = static_cast<double>(StatusBytes("VmHWM") - start_);
    state.counters["input_MB"] = input_bytes / 1e6;
    state.counters["peak_MB"] = above / 1e6;
    state.counters["mem_x_input"] = above / input_bytes;
    if (!reset_) state.counters["hwm_not_reset"] = 1;
  }
  // Resident memory now above the start.
  int64_t Grown() const {
    return StatusBytes("VmRSS") - start_;
  }

 private:
  int64_t start_ = 0;
  bool reset_ = false;
};

// --- scratch files ---

// A folder for the inputs and the registry store's files, removed when the program ends.
class Scratch {
 public:
  Scratch() {
    path_ = std::filesystem::temp_directory_path() /
            (std::string("kvo-bench-limits-") +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(path_);
    // Whatever an instance keeps in the registry store stays in here too.
    ::setenv("KVO_REGISTRY_DIR", (path_ / "registry").string().c_str(), 1);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

// --- the module through its exports ---

::TParamsList* Out(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}

std::atomic<int32_t> g_next_handle{5000};

int32_t Command(int32_t handle, const char* command, TParamsList& parameters) {
  parameters.SetValueByName("COMMAND", Variant::FromText(command), true);
  return ::ExecutePluginCommand(handle, Out(&parameters));
}

// A fresh handle loaded from an INI file of its own with `settings`; 0 when that failed.
int32_t LoadedHandle(const std::string& settings) {
  static const bool registered = (kvo::RegisterDeadbandPlugin(), true);
  (void)registered;
  const int32_t handle = g_next_handle.fetch_add(1);
  const std::string ini = TheScratch().File(std::string("h") + std::to_string(handle) + ".ini");
  if (!kvo::testing::WriteTextFile(ini, settings)) return 0;
  TParamsList parameters;
  parameters.Add("INI-FILE", Variant::FromText(ini));
  return Command(handle, "LOAD", parameters) == 0 ? handle : 0;
}

// The settings again from the INI file of "LOAD", which are then written back to it.
bool ReloadSettings(int32_t handle) {
  TParamsList parameters;
  return Command(handle, "LOAD-SETTINGS-NOW", parameters) == 0;
}

// ProcessData in the filter role; true when the block passed.
bool Filter(int32_t handle, TParamsList& block) {
  TParamsList parameters;
  parameters.Add("TYPE", Variant::FromInt(32));
  void* data = &block;
  ::TParamsList* rows = nullptr;
  benchmark::DoNotOptimize(::ProcessData(handle, 0, Out(&parameters), &data, &rows));
  return rows != nullptr;
}

int32_t SetItems(int32_t handle, const std::string& text) {
  TParamsList parameters;
  parameters.Add("ITEMS", Variant::FromText(text));
  return Command(handle, "SET ITEMS", parameters);
}

std::string ItemsText(int32_t handle) {
  TParamsList parameters;
  parameters.Add("RESULT", Variant::FromInt(0));
  Command(handle, "ITEMS", parameters);
  return parameters.ValueByName("RESULT").ToText();
}

// --- the benchmarks ---

// A quarter, a half and the whole of a limit.
template <auto kLimit>
void UpToLimit(benchmark::internal::Benchmark* benchmark) {
  const auto limit = static_cast<int64_t>(kLimit) / kScale;
  benchmark->Arg(limit / 4)->Arg(limit / 2)->Arg(limit);
}

// Load a file of state.range(0) bytes, read three keys (first, middle and last section), change the last
// one and save. Every run saves: the value alternates between two texts of one length.
void BM_Limit1_BigIniFile(benchmark::State& state) {
  const auto bytes = static_cast<size_t>(state.range(0));
  const std::string path = TheScratch().File(std::string("big-") + std::to_string(bytes) + ".ini");
  const int64_t sections = kvo::limits::WriteIniFile(path, bytes);
  if (sections == 0) return state.SkipWithError("cannot write the INI file");
  const auto size = static_cast<double>(std::filesystem::file_size(path));
  const std::string first = kvo::limits::IniSectionName(0);
  const std::string middle = kvo::limits::IniSectionName(sections / 2);
  const std::string last = kvo::limits::IniSectionName(sections - 1);
  const std::string key = kvo::limits::IniKeyName(kvo::limits::kIniKeys - 1);
  bool flip = false;
  const PeakMemory memory;
  for (auto _ : state) {
    kvo::TBigIniFile ini(path);
    benchmark::DoNotOptimize(ini.ReadString(first, key, ""));
    benchmark::DoNotOptimize(ini.ReadString(middle, key, ""));
    benchmark::DoNotOptimize(ini.ReadString(last, key, ""));
    ini.WriteString(last, key, flip ? "changed A" : "changed B");
    flip = !flip;
    ini.UpdateFile();
  }
  memory.Report(state, size);
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Limit1_BigIniFile)
    ->Apply(UpToLimit<kvo::limits::kIniBytes>)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A block of state.range(0) elements whose only "Trigger" is its second-last element. With "Trigger" a
// count limit of 1 under OR, every block is looked at to its end and passes: it is copied whole into the
// result rows (and the previous copy freed). The input is the block's resident size.
void BM_Limit2_BlockPassesWhole(benchmark::State& state) {
  const auto elements = static_cast<int32_t>(state.range(0));
  const int32_t handle =
      LoadedHandle(kvo::testing::DeadbandIniText(1, {{"Column_0", 0, 1e9}, {"Trigger", 3, 1}}));
  if (handle == 0) return state.SkipWithError("cannot load the instance");
  const PeakMemory before_block;
  std::unique_ptr<TParamsList> block = kvo::limits::MakeBlock(elements);
  const auto input = static_cast<double>(before_block.Grown());
  kvo::TRowsParamsList empty;
  Filter(handle, *block);  // "Column_0" takes its first value, which passes the block at once
  Filter(handle, empty);   // and the copy is freed before the measurement
  bool all_passed = true;
  const PeakMemory memory;
  for (auto _ : state)
    all_passed = Filter(handle, *block) && all_passed;
  memory.Report(state, input);
  if (!all_passed) state.SkipWithError("a block was dropped");
  Filter(handle, empty);
  block.reset();
  state.SetItemsProcessed(state.iterations() * elements);
  state.SetBytesProcessed(static_cast<int64_t>(static_cast<double>(state.iterations()) * input));
  state.SetComplexityN(elements);
}
BENCHMARK(BM_Limit2_BlockPassesWhole)
    ->Apply(UpToLimit<kvo::limits::kBlockElements>)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A name of state.range(0) bytes: settings that watch it read from the INI file and written back
// ("LOAD-SETTINGS-NOW"), "SET ITEMS" with it and "ITEMS" back, a block that passes with it and one that is
// dropped with a name that differs in its middle byte only.
void BM_Limit3_LongName(benchmark::State& state) {
  const auto bytes = static_cast<size_t>(state.range(0));
  const std::string name = kvo::limits::LongName(bytes);
  std::string other = name;
  other[bytes / 2] = other[bytes / 2] == 'z' ? 'a' : 'z';
  const std::string settings = kvo::testing::DeadbandIniText(1, {{name, 0, 0.5}});
  const std::string items = "1|" + name + "|Float|";
  kvo::TRowsParamsList passing;
  passing.Add(name, Variant::FromDouble(1));
  passing.NewRow();
  kvo::TRowsParamsList dropped;
  dropped.Add(other, Variant::FromDouble(100));
  dropped.NewRow();
  const int32_t handle = LoadedHandle(settings);
  if (handle == 0) return state.SkipWithError("cannot load the instance");
  bool right = true;
  const PeakMemory memory;
  for (auto _ : state) {
    right = ReloadSettings(handle) && SetItems(handle, items) == 0 && ItemsText(handle) == items &&
            Filter(handle, passing) && !Filter(handle, dropped) && right;
  }
  memory.Report(state, static_cast<double>(bytes));
  if (!right) state.SkipWithError("the long name was not handled right");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Limit3_LongName)
    ->Apply(UpToLimit<kvo::limits::kNameBytes>)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A language file of state.range(0) blocks: LoadTranslationTable, then 100 lookups spread over the table
// (the last block's text among them). A lookup goes through the table in order, so its own cost
// ("us_per_lookup", wall time) grows with the table; a translation makes one per text of its forms.
void BM_Limit4_LanguageFile(benchmark::State& state) {
  const int64_t blocks = state.range(0);
  const std::string path = TheScratch().File(std::string("big-") + std::to_string(blocks) + ".lng");
  if (!kvo::limits::WriteLanguageFile(path, blocks)) return state.SkipWithError("cannot write the file");
  const auto size = static_cast<double>(std::filesystem::file_size(path));
  std::vector<std::string> texts;
  for (int64_t k = 1; k <= 100; ++k)
    texts.push_back(kvo::limits::LanguageSource(blocks * k / 100 - 1));
  kvo::TWtransl translator(nullptr);
  translator.LanguageFile.clear();
  int64_t found_count = 0;
  std::chrono::steady_clock::duration lookups{};
  const PeakMemory memory;
  for (auto _ : state) {
    translator.LoadTranslationTable(path, "EN", "DE");
    std::string translation;
    bool found = false;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& text : texts) {
      translator.LookupTranslation(text, translation, found);
      found_count += found;
    }
    lookups += std::chrono::steady_clock::now() - start;
  }
  memory.Report(state, size);
  state.counters["us_per_lookup"] = std::chrono::duration<double, std::micro>(lookups).count() /
                                    static_cast<double>(state.iterations() * 100);
  std::filesystem::remove(path);
  if (found_count != state.iterations() * 100) state.SkipWithError("a text was not found");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.SetComplexityN(blocks);
}
BENCHMARK(BM_Limit4_LanguageFile)
    ->Apply(UpToLimit<kvo::limits::kLanguageBlocks>)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// An item list text of state.range(0) bytes: "SET ITEMS", then "ITEMS" back.
void BM_Limit5_ItemsText(benchmark::State& state) {
  const auto bytes = static_cast<size_t>(state.range(0));
  const std::string text = kvo::limits::ItemsText(bytes);
  const int32_t handle = LoadedHandle(kvo::testing::DeadbandIniText(0, {}));
  if (handle == 0) return state.SkipWithError("cannot load the instance");
  bool same = true;
  const PeakMemory memory;
  for (auto _ : state) {
    same = SetItems(handle, text) == 0 && ItemsText(handle) == text && same;
  }
  memory.Report(state, static_cast<double>(text.size()));
  if (!same) state.SkipWithError("the text changed on the way");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Limit5_ItemsText)
    ->Apply(UpToLimit<kvo::limits::kItemsTextBytes>)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
