// A file system for the crash-safe save that counts the steps of a save and fails the one it is told to:
// by kind, or the n-th step of any kind, so a test can walk a failure through every step in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/atomic_file.h"

namespace kvo::testing {

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
  // When positive, the step with this number (1-based, over every kind but Remove) fails; a failing write
  // fails as a full disk does, so walking the number covers ENOSPC at each write.
  int fail_at = 0;
  int steps = 0;
  static constexpr const char* kMessage = "injected failure";
  static constexpr const char* kNoSpaceMessage = "no space left on device";

  bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                  std::string* error) override {
    ++creates;
    if (fail == Step::kCreateTemp || NthStep()) return Fail(error);
    return real_.CreateTemp(path, temp_name, handle, error);
  }
  bool Write(intptr_t handle, const char* data, size_t size, size_t* written, std::string* error) override {
    ++writes;
    if (fail == Step::kWrite) return Fail(error);
    if (fail == Step::kNoSpace || NthStep()) {
      *error = kNoSpaceMessage;
      return false;
    }
    if (fail == Step::kShortWriteThenError && writes > 1) return Fail(error);
    const bool shorten = short_writes || fail == Step::kShortWriteThenError;
    const size_t part = shorten && size > 1 ? size / 2 : size;
    return real_.Write(handle, data, part, written, error);
  }
  bool Flush(intptr_t handle, std::string* error) override {
    ++flushes;
    if (fail == Step::kFlush || NthStep()) return Fail(error);
    return real_.Flush(handle, error);
  }
  bool Close(intptr_t handle, std::string* error) override {
    ++closes;
    if (fail == Step::kClose || NthStep()) {
      real_.Close(handle, error);  // the handle is gone either way, as with a failing close(2)
      return Fail(error);
    }
    return real_.Close(handle, error);
  }
  bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) override {
    ++permission_copies;
    if (fail == Step::kCopyPermissions || NthStep()) return Fail(error);
    return real_.CopyPermissions(path, temp_name, error);
  }
  bool Rename(const std::string& temp_name, const std::string& path, std::string* error) override {
    ++renames;
    if (fail == Step::kRename || NthStep()) return Fail(error);
    return real_.Rename(temp_name, path, error);
  }
  void Remove(const std::string& name) override {
    ++removes;
    real_.Remove(name);
  }

 private:
  bool NthStep() { return ++steps == fail_at; }
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
