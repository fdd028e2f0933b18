// Helpers of the language tests: a scratch folder per test, language files written line by line, and
// files read back whole.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace kvo::testing {

// The lines joined with CR LF, each line ended.
inline std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  return text;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  file.close();
  return !file.fail();
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << "kvo-lng-" << counter.fetch_add(1) << "-"
         << std::chrono::steady_clock::now().time_since_epoch().count();
    scratch_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(scratch_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  std::string Path(const std::string& name) const { return (scratch_ / name).string(); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(scratch_ / name); }
  // Writes the file `name` in the scratch folder from its lines and returns its path.
  std::string WriteLines(const std::string& name, const std::vector<std::string>& lines) const {
    EXPECT_TRUE(WriteBytes(Path(name), CrLfLines(lines))) << name;
    return Path(name);
  }
  std::string Read(const std::string& name) const { return ReadBytes(Path(name)); }

  std::filesystem::path scratch_;
};

}  // namespace kvo::testing
