// A test's own settings stores: a scratch folder for its files, removed at the end, which on POSIX also
// holds the registry store's root files (through KVO_REGISTRY_DIR, put back afterwards); on Windows,
// where the registry store is the real registry, the keys below Software\<key root> of both roots are
// removed before and after the test. Header only.
//
// Thread contract: made and destroyed on the test's main thread; the environment it changes is the
// process's.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace kvo::testing {

class ScratchStore {
 public:
  ScratchStore(std::string_view prefix, std::string key_root) : key_root_(std::move(key_root)) {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << prefix << "-" << counter.fetch_add(1) << "-"
         << std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(path_);
#if !defined(_WIN32)
    if (const char* previous = std::getenv("KVO_REGISTRY_DIR")) previous_registry_dir_ = previous;
    if (::setenv("KVO_REGISTRY_DIR", (path_ / "registry").string().c_str(), 1) != 0) {
      ADD_FAILURE() << "cannot point the registry store at the scratch folder";
    }
#endif
    RemoveKeys();
  }
  ~ScratchStore() {
    RemoveKeys();
#if !defined(_WIN32)
    if (previous_registry_dir_) {
      ::setenv("KVO_REGISTRY_DIR", previous_registry_dir_->c_str(), 1);
    } else {
      ::unsetenv("KVO_REGISTRY_DIR");
    }
#endif
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchStore(const ScratchStore&) = delete;
  ScratchStore& operator=(const ScratchStore&) = delete;

  const std::filesystem::path& Path() const {
    return path_;
  }
  std::string File(std::string_view name) const {
    return (path_ / name).string();
  }
  // "Software\<key root>\<name>", a key this store removes.
  std::string KeyPath(std::string_view name) const {
    return "Software\\" + key_root_ + "\\" + std::string(name);
  }

  void RemoveKeys() const {
    for (auto root : {platform::RegistryRoot::kLocalMachine, platform::RegistryRoot::kCurrentUser}) {
      platform::RegistryKey software;
      if (platform::RegistryKey::Open(root, "Software", false, &software, nullptr))
        software.DeleteKey(key_root_);
    }
  }

 private:
  std::string key_root_;
  std::filesystem::path path_;
  std::optional<std::string> previous_registry_dir_;
};

}  // namespace kvo::testing
