// Parameter-list costs on the data path: lookup, adding, copying a row.
#include <benchmark/benchmark.h>

#include <string>

#include "params/params_list.h"

namespace {

void Fill(kvo::TParamsList& list, int elements) {
  for (int i = 0; i < elements; ++i)
    list.Add("Variable_" + std::to_string(i), kvo::Variant::FromDouble(i));
}

// The key differs in case from the stored name, so folding is exercised; the match is the last element.
void BM_IndexOfNameLastOf16(benchmark::State& state) {
  kvo::TParamsList list;
  Fill(list, 16);
  for (auto _ : state)
    benchmark::DoNotOptimize(list.IndexOfName("VARIABLE_15"));
}
BENCHMARK(BM_IndexOfNameLastOf16);

void BM_IndexOfNameMissOf16(benchmark::State& state) {
  kvo::TParamsList list;
  Fill(list, 16);
  for (auto _ : state)
    benchmark::DoNotOptimize(list.IndexOfName("pressure"));
}
BENCHMARK(BM_IndexOfNameMissOf16);

void BM_AddDouble(benchmark::State& state) {
  kvo::TParamsList list;
  for (auto _ : state) {
    list.Add("Temperature", kvo::Variant::FromDouble(21.5));
    if (list.Count() == 1024) {
      state.PauseTiming();
      list.Clear();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_AddDouble);

void BM_AppendListRowOf16(benchmark::State& state) {
  kvo::TParamsList row;
  Fill(row, 16);
  row.NewRow();
  kvo::TRowsParamsList rows;
  for (auto _ : state) {
    rows.AppendList(&row);
    rows.Clear();
  }
  state.SetItemsProcessed(state.iterations() * row.Count());
}
BENCHMARK(BM_AppendListRowOf16);

}  // namespace
