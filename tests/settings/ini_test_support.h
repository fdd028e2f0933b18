// Helpers of the INI store tests: a scratch folder per test, raw file access, and a file system that
// counts the steps of a save and fails the one it is told to.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"

namespace kvo::testing {

// A fresh, empty folder removed at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::ostringstream name;
    // The clock keeps concurrent runs of the same test (several build trees) apart.
    name << "kvo-ini-" << (test != nullptr ? test->name() : "x") << "-" << counter.fetch_add(1) << "-"
         << std::chrono::steady_clock::now().time_since_epoch().count();
    std::string clean = name.str();
    for (char& c : clean) {
      if (c == '/' || c == '\\') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() / clean;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Names of everything in the folder, to show that no temporary file was left behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteRaw(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The steps of a save, in their order.
enum class Step {
  kNone,
  kCreateTemp,
  kWrite,
  kShortWriteThenError,
  kNoSpace,
  kFlush,
  kCopyPermissions,
  kClose,
  kRename
};

// Passes every step to the system's file system, counting them, except the one chosen to fail. A short
// write step writes half of what it is given, so saving needs several writes.
class FaultyFileSystem final : public platform::FileSystem {
 public:
  Step fail = Step::kNone;
  bool short_writes = false;
  int creates = 0;
  int writes = 0;
  int flushes = 0;
  int closes = 0;
  int permission_copies = 0;
  int renames = 0;
  int removes = 0;
  static constexpr const char* kMessage = "injected failure";

  bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                  std::string* error) override {
    ++creates;
    if (fail == Step::kCreateTemp) return Fail(error);
    return real_.CreateTemp(path, temp_name, handle, error);
  }
  bool Write(intptr_t handle, const char* data, size_t size, size_t* written, std::string* error) override {
    ++writes;
    if (fail == Step::kWrite) return Fail(error);
    if (fail == Step::kNoSpace) {
      *error = "no space left on device";
      return false;
    }
    if (fail == Step::kShortWriteThenError && writes > 1) return Fail(error);
    const bool shorten = short_writes || fail == Step::kShortWriteThenError;
    const size_t part = shorten && size > 1 ? size / 2 : size;
    return real_.Write(handle, data, part, written, error);
  }
  bool Flush(intptr_t handle, std::string* error) override {
    ++flushes;
    if (fail == Step::kFlush) return Fail(error);
    return real_.Flush(handle, error);
  }
  bool Close(intptr_t handle, std::string* error) override {
    ++closes;
    if (fail == Step::kClose) {
      real_.Close(handle, error);  // the handle is gone either way, as with a failing close(2)
      return Fail(error);
    }
    return real_.Close(handle, error);
  }
  bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) override {
    ++permission_copies;
    if (fail == Step::kCopyPermissions) return Fail(error);
    return real_.CopyPermissions(path, temp_name, error);
  }
  bool Rename(const std::string& temp_name, const std::string& path, std::string* error) override {
    ++renames;
    if (fail == Step::kRename) return Fail(error);
    return real_.Rename(temp_name, path, error);
  }
  void Remove(const std::string& name) override {
    ++removes;
    real_.Remove(name);
  }

 private:
  static bool Fail(std::string* error) {
    *error = kMessage;
    return false;
  }
  platform::FileSystem& real_ = platform::SystemFileSystem();
};

// Installs a file system for the scope of a test.
class InstalledFileSystem {
 public:
  explicit InstalledFileSystem(platform::FileSystem* file_system)
      : previous_(platform::InstallFileSystem(file_system)) {}
  ~InstalledFileSystem() {
    platform::InstallFileSystem(previous_ == &platform::SystemFileSystem() ? nullptr : previous_);
  }
  InstalledFileSystem(const InstalledFileSystem&) = delete;
  InstalledFileSystem& operator=(const InstalledFileSystem&) = delete;

 private:
  platform::FileSystem* previous_;
};

}  // namespace kvo::testing
