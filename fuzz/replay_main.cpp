// Replays fuzz inputs without libFuzzer: runs LLVMFuzzerTestOneInput once on every file of the folders
// named on the command line (missing folders are skipped), so saved corpora and crash inputs become tests.
// Single-threaded.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (!fs::is_directory(argv[i], ec)) continue;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
      if (entry.is_regular_file()) files.push_back(entry.path());
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "replay %s (%zu bytes)\n", file.string().c_str(), bytes.size());
      // A non-empty vector's data() is never null; an empty input still gets a valid pointer.
      static const uint8_t kEmpty = 0;
      const uint8_t* data = bytes.empty() ? &kEmpty : reinterpret_cast<const uint8_t*>(bytes.data());
      LLVMFuzzerTestOneInput(data, bytes.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "replayed %zu inputs\n", replayed);
  return replayed == 0 ? 1 : 0;
}
