// kvo-host with a key column: long-format CSV (time, tag, value), each tag filtered by a module instance
// of its own. The whole run over many tags, as the program does it (instances made on the way); and what
// one instance costs to make: time, and heap bytes per key, the module's own included.
//
// Optimised builds use 1,000,000 rows over 10,000 tags; others (the sanitizer smoke run) 20,000 over 200.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kvo-host/filter_run.h"
#include "kvo-host/keyed_instances.h"
#include "kvo-host/module_driver.h"

namespace kvo::host {
namespace {

#ifdef NDEBUG
constexpr int kRows = 1000000;
constexpr int kTags = 10000;
#else
constexpr int kRows = 20000;
constexpr int kTags = 200;
#endif

// Removes the files the benchmark wrote when the program ends.
struct ScratchFiles {
  ~ScratchFiles() {
    std::error_code ignored;
    for (const std::string& path : paths)
      std::filesystem::remove(path, ignored);
  }
  std::vector<std::string> paths;
};
ScratchFiles& Scratch() {
  static ScratchFiles files;
  return files;
}

std::string IniFile() {
  static const std::string path = [] {
    const auto ini =
        std::filesystem::temp_directory_path() / ("kvo-bench-keyed-" + std::to_string(getpid()) + ".ini");
    std::ofstream(ini) << "[Common]\nVar1=value\nType1=0\nVal1=0.5\n";
    Scratch().paths.push_back(ini.string());
    return ini.string();
  }();
  return path;
}

// Tags drawn at random, as a historian's export by time interleaves them; each drifts on its own.
std::string KeyedCsvFile() {
  static const std::string path = [] {
    const auto csv =
        std::filesystem::temp_directory_path() / ("kvo-bench-keyed-" + std::to_string(getpid()) + ".csv");
    std::mt19937 engine(11);
    std::uniform_int_distribution<int> tag(0, kTags - 1);
    std::normal_distribution<double> noise(0.0, 0.2);
    std::vector<double> values(kTags, 20.0);
    std::string text = "time,tag,value\n";
    char line[64];
    for (int i = 0; i < kRows; ++i) {
      const int t = tag(engine);
      values[static_cast<std::size_t>(t)] += noise(engine);
      std::snprintf(line, sizeof line, "%d,T%05d,%.3f\n", i, t, values[static_cast<std::size_t>(t)]);
      text += line;
    }
    std::ofstream(csv, std::ios::binary) << text;
    Scratch().paths.push_back(csv.string());
    return csv.string();
  }();
  return path;
}

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

long MaxResidentKb() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The whole program's loop: read, key, block, filter, write. One iteration: every run makes its
// instances anew, and the module keeps each unloaded one until the process ends.
void BM_KeyedCsvRun(benchmark::State& state) {
  FilterOptions options;
  options.module = KVO_DEADBAND_MODULE_PATH;
  options.ini_file = IniFile();
  options.key = "tag";
  options.inputs = {KeyedCsvFile()};
  std::FILE* null = std::fopen("/dev/null", "wb");
  std::string errors;
  FilterIo io;
  io.out = null;
  io.err = [&errors](std::string_view text) { errors.append(text); };
  const long resident_before = MaxResidentKb();
  int status = 0;
  for (auto _ : state)
    status = RunFilter(options, io);
  std::fclose(null);
  if (status != 0) state.SkipWithError(errors.c_str());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRows);
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kRows, benchmark::Counter::kIsRate);
  state.counters["tags"] = kTags;
  // Peak memory grows by the instances and each key's stream; the input is read in pieces.
  state.counters["peak_bytes_per_tag"] =
      static_cast<double>(MaxResidentKb() - resident_before) * 1024.0 / kTags;
}
BENCHMARK(BM_KeyedCsvRun)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One new key per iteration: "SET ITEMS", "LOAD" from an INI file and "SET-STATE" on a new handle.
void BM_MakeKeyInstance(benchmark::State& state) {
  PluginModule module(KVO_DEADBAND_MODULE_PATH);
  LoadOptions load;
  load.ini_file = IniFile();
  KeyedInstances instances(module, load, std::numeric_limits<int32_t>::max());
  instances.SetItems("1|time|Integer|\r\n2|tag|String|\r\n3|value|Float|");
  int64_t made = 0;
  std::string key;
  const std::size_t heap_before = HeapInUse();
  for (auto _ : state) {
    key.assign(1, 'T').append(std::to_string(made++));
    benchmark::DoNotOptimize(instances.Find(key));
  }
  state.counters["heap_bytes_per_key"] =
      static_cast<double>(HeapInUse() - heap_before) / static_cast<double>(made);
  state.counters["keys"] = static_cast<double>(made);
}
BENCHMARK(BM_MakeKeyInstance)->Unit(benchmark::kMicrosecond)->Iterations(kTags);

}  // namespace
}  // namespace kvo::host
