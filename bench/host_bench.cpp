// kvo-host's loop, split into its parts: parsing CSV rows, putting a row into the parameter list, the
// module's ProcessData, and writing the rows that passed; then the whole loop. One row per block, four
// columns (integer, two decimals, a text), the real deadband module loaded by path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kvo-host/block.h"
#include "kvo-host/csv_reader.h"
#include "kvo-host/log_reader.h"
#include "kvo-host/module_driver.h"
#include "kvo-host/params_block.h"
#include "kvo-host/row_writer.h"

namespace kvo::host {
namespace {

constexpr int kRows = 100000;

const std::string& SampleCsv() {
  static const std::string text = [] {
    std::mt19937 engine(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    std::string csv = "time,temperature,pressure,status\n";
    double t = 20, p = 1000;
    char line[128];
    for (int i = 0; i < kRows; ++i) {
      t += noise(engine);
      p += noise(engine) * 10;
      std::snprintf(line, sizeof line, "%d,%.3f,%.2f,%s\n", i, t, p, i % 100 ? "ok" : "warn");
      csv += line;
    }
    return csv;
  }();
  return text;
}

InputBuffer::ReadFn ReadFrom(const std::string& text) {
  auto at = std::make_shared<std::size_t>(0);
  return [&text, at](char* buffer, std::size_t size) -> std::ptrdiff_t {
    const std::size_t n = std::min(size, text.size() - *at);
    std::memcpy(buffer, text.data() + *at, n);
    *at += n;
    return static_cast<std::ptrdiff_t>(n);
  };
}

// Every row of the sample, each a one-row block.
const std::vector<Block>& SampleBlocks(std::vector<std::string>* columns) {
  static std::vector<std::string> names;
  static const std::vector<Block> blocks = [] {
    CsvReader reader("bench.csv", ReadFrom(SampleCsv()));
    names = reader.Columns();
    std::vector<Block> all;
    Record record;
    while (reader.Next(record)) {
      all.emplace_back();
      all.back().Add(record);
    }
    return all;
  }();
  *columns = names;
  return blocks;
}

// A loaded filter: temperature by 0.5 or pressure by 0.3 percent; `messages` is the log channel, if any.
struct LoadedFilter {
  explicit LoadedFilter(intptr_t messages = 0, int32_t handle = 7)
      : module(KVO_DEADBAND_MODULE_PATH), session(module, handle) {
    const auto ini = std::filesystem::temp_directory_path() / "kvo-bench-host.ini";
    std::ofstream(ini) << "[Common]\nVar1=temperature\nType1=0\nVal1=0.5\nVar2=pressure\nType2=1\nVal2=0.3\n"
                          "Relationship=1\n";
    LoadOptions options;
    options.ini_file = ini.string();
    options.messages_handle = messages;
    session.SetItems("1|time|Integer|\r\n2|temperature|Float|\r\n3|pressure|Float|\r\n4|status|String|");
    session.Load(options);
    session.EnableFilter();
  }
  PluginModule module;
  FilterSession session;
};

LoadedFilter& Filter() {
  static LoadedFilter filter;
  return filter;
}

void BM_Parse(benchmark::State& state) {
  int64_t rows = 0;
  for (auto _ : state) {
    CsvReader reader("bench.csv", ReadFrom(SampleCsv()));
    Record record;
    while (reader.Next(record)) {
      benchmark::DoNotOptimize(record.fields.data());
      ++rows;
    }
  }
  state.SetItemsProcessed(rows);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(SampleCsv().size()));
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

void BM_FillList(benchmark::State& state) {
  std::vector<std::string> columns;
  const std::vector<Block>& blocks = SampleBlocks(&columns);
  ParamsBlock params;
  std::size_t i = 0;
  for (auto _ : state) {
    params.Fill(blocks[i], columns);
    if (++i == blocks.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FillList);

void BM_FillAndModuleCall(benchmark::State& state) {
  std::vector<std::string> columns;
  const std::vector<Block>& blocks = SampleBlocks(&columns);
  FilterSession& session = Filter().session;
  ParamsBlock params;
  std::size_t i = 0;
  int64_t passed = 0;
  for (auto _ : state) {
    params.Fill(blocks[i], columns);
    TParamsList* rows = nullptr;
    session.Process(params.List(), &rows);
    passed += rows != nullptr;
    if (++i == blocks.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["passed_share"] = static_cast<double>(passed) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FillAndModuleCall);

// As above, with the log looked at after each call as --log does; the deadband module logs nothing here.
void BM_FillModuleCallAndLog(benchmark::State& state) {
  static LogReader log([](std::string_view) {});
  static const bool opened = [] {
    std::string error;
    return log.Open(&error);
  }();
  if (!opened) {
    state.SkipWithError("no log channel");
    return;
  }
  static LoadedFilter filter(log.Target(), 8);
  std::vector<std::string> columns;
  const std::vector<Block>& blocks = SampleBlocks(&columns);
  ParamsBlock params;
  std::size_t i = 0;
  int64_t lines = 0;
  for (auto _ : state) {
    params.Fill(blocks[i], columns);
    TParamsList* rows = nullptr;
    filter.session.Process(params.List(), &rows);
    lines += log.Poll(filter.session);
    if (++i == blocks.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["log_lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_FillModuleCallAndLog);

void BM_Output(benchmark::State& state) {
  std::vector<std::string> columns;
  const std::vector<Block>& blocks = SampleBlocks(&columns);
  std::FILE* null = std::fopen("/dev/null", "wb");
  {
    RowWriter writer(null);
    std::size_t i = 0;
    for (auto _ : state) {
      writer.Rows(blocks[i].Text());
      if (++i == blocks.size()) i = 0;
    }
  }
  std::fclose(null);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Output);

// Parse, block, fill, call and write, as kvo-host's loop does for one row per block.
void BM_WholeLoop(benchmark::State& state) {
  FilterSession& session = Filter().session;
  std::FILE* null = std::fopen("/dev/null", "wb");
  int64_t rows_read = 0;
  {
    RowWriter writer(null);
    ParamsBlock params;
    Block block;
    for (auto _ : state) {
      CsvReader reader("bench.csv", ReadFrom(SampleCsv()));
      Record record;
      while (reader.Next(record)) {
        block.Clear();
        block.Add(record);
        params.Fill(block, reader.Columns());
        TParamsList* rows = nullptr;
        session.Process(params.List(), &rows);
        if (rows != nullptr) writer.Rows(block.Text());
        ++rows_read;
      }
    }
  }
  std::fclose(null);
  state.SetItemsProcessed(rows_read);
}
BENCHMARK(BM_WholeLoop)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvo::host
