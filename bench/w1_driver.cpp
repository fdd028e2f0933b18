// A fixed number of W1 blocks for callgrind, whose instruction counts are stable on a busy machine where
// times are not. `kvo-w1-driver w1 N` runs N blocks of the W1 host loop (the value set by name with
// kvo_params_set_double, then the exported ProcessData); `kvo-w1-driver set N` only the setter. Run it
// with two block counts and divide the difference of the counts by the difference of the blocks:
//   valgrind --tool=callgrind --toggle-collect='kvo_bench_RunBlocks*' kvo-w1-driver w1 100000
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_host.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"
#include "support/deadband_ini.h"

namespace {

constexpr int32_t kHandle = 77;
constexpr double kPi = 3.14159265358979323846;

// 50 + 10 sin(2 pi i / 1000), made before the collected loop, which only looks it up.
double g_wave[10000];

void MakeWave() {
  for (int i = 0; i < 10000; ++i)
    g_wave[i] = 50 + 10 * std::sin(2 * kPi * i / 1000);
}

}  // namespace

// Not inlined, so that callgrind can collect exactly this loop.
extern "C" __attribute__((noinline)) long kvo_bench_RunBlocks(bool filter, long blocks, ::TParamsList* block,
                                                              ::TParamsList* parameters) {
  long passed = 0;
  for (long i = 0, k = 0; i < blocks; ++i, k = k == 9999 ? 0 : k + 1) {
    kvo_params_set_double(block, "Value", g_wave[k], 0);
    if (!filter) continue;
    void* data = block;
    ::TParamsList* rows = nullptr;
    ::ProcessData(kHandle, 0, parameters, &data, &rows);
    passed += rows != nullptr;
  }
  return passed;
}

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "w1") != 0 && std::strcmp(argv[1], "set") != 0)) {
    std::fprintf(stderr, "usage: %s w1|set BLOCKS\n", argv[0]);
    return 2;
  }
  const long blocks = std::atol(argv[2]);
  MakeWave();
  kvo::RegisterDeadbandPlugin();
  const std::string ini =
      (std::filesystem::temp_directory_path() /
       ("kvo-w1-driver-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
        ".ini"))
          .string();
  if (!kvo::testing::WriteTextFile(ini, kvo::testing::DeadbandIniText(0, {{"Value", 0, 0.5}}))) return 1;
  ::TParamsList* load = kvo_params_new();
  kvo_params_add_text(load, "COMMAND", "LOAD");
  kvo_params_add_text(load, "INI-FILE", ini.c_str());
  const int32_t loaded = ::ExecutePluginCommand(kHandle, load);
  std::filesystem::remove(ini);
  if (loaded != 0) return 1;
  ::TParamsList* parameters = kvo_params_new();
  kvo_params_add_int(parameters, "TYPE", 32);
  ::TParamsList* block = kvo_rows_new();
  kvo_params_add_double(block, "Value", 0);
  kvo_params_new_row(block);
  const long passed = kvo_bench_RunBlocks(std::strcmp(argv[1], "w1") == 0, blocks, block, parameters);
  std::printf("%ld blocks, %ld passed\n", blocks, passed);
  kvo_params_free(block);
  kvo_params_free(parameters);
  kvo_params_free(load);
  return 0;
}
