// Helpers shared by the fuzz harnesses: a private scratch folder per process and a file seam that skips
// the flush to disk, so stores that save crash-safely still run thousands of times a second.
//
// Thread contract: harnesses run single-threaded; Scratch() and UseFastFiles() are meant for that.
#pragma once

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/atomic_file.h"

namespace kvo::fuzz {

// Aborts the process (a finding) when a checked property does not hold.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

// The fuzzer's input read byte by byte; zeros once it is used up.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  Bytes(const uint8_t* data, size_t size) : data_(reinterpret_cast<const char*>(data), size) {}
  uint8_t Next() { return pos_ < data_.size() ? static_cast<uint8_t>(data_[pos_++]) : 0; }
  bool empty() const { return pos_ >= data_.size(); }

 private:
  std::string_view data_;
  size_t pos_ = 0;
};

// Every step as the system does it, except the flush: a fuzz run does not need durable files.
class FastFileSystem final : public platform::FileSystem {
 public:
  bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                  std::string* error) override {
    return system_.CreateTemp(path, temp_name, handle, error);
  }
  bool Write(intptr_t handle, const char* data, size_t size, size_t* written, std::string* error) override {
    return system_.Write(handle, data, size, written, error);
  }
  bool Flush(intptr_t, std::string*) override { return true; }
  bool Close(intptr_t handle, std::string* error) override { return system_.Close(handle, error); }
  bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) override {
    return system_.CopyPermissions(path, temp_name, error);
  }
  bool Rename(const std::string& temp_name, const std::string& path, std::string* error) override {
    return system_.Rename(temp_name, path, error);
  }
  void Remove(const std::string& name) override { system_.Remove(name); }

 private:
  platform::FileSystem& system_ = platform::SystemFileSystem();
};

inline void UseFastFiles() {
  static FastFileSystem fast;
  static const bool installed = (platform::InstallFileSystem(&fast), true);
  (void)installed;
}

// A folder of this process's own, removed when the process ends normally.
inline const std::filesystem::path& Scratch() {
  struct Folder {
    std::filesystem::path path;
    Folder() {
      path = std::filesystem::temp_directory_path() / ("kvo-fuzz-" + std::to_string(::getpid()));
      std::filesystem::create_directories(path);
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder;
  return folder.path;
}

}  // namespace kvo::fuzz
