// Files for the version tests: the probe modules beside the test program, and a scratch folder for
// files written by a test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "platform/module.h"

namespace kvo::test {

inline std::string BesideProgram(const std::string& name) {
  const std::string program = platform::OwnModulePath();  // the platform layer is linked into this program
  return program.substr(0, program.find_last_of("/\\") + 1) + name;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder per test, removed afterwards.
class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    folder_ = std::filesystem::temp_directory_path() /
              ("kvo-version-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    ASSERT_TRUE(std::filesystem::create_directories(folder_)) << folder_.string();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Writes `bytes` to a file of the folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

  std::filesystem::path folder_;
};

}  // namespace kvo::test
