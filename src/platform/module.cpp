// The part of the module service common to every system: the override of the module's own path.
#include <mutex>
#include <utility>

#include "platform/module.h"

namespace kvo::platform {
namespace {

std::mutex& OverrideLock() {
  static std::mutex lock;
  return lock;
}
std::string& OverridePath() {  // guarded by OverrideLock()
  static std::string path;
  return path;
}

}  // namespace

std::string OwnModulePath() {
  try {
    {
      std::lock_guard guard(OverrideLock());
      if (!OverridePath().empty()) return OverridePath();
    }
    return SystemOwnModulePath();
  } catch (...) {
    return {};
  }
}

std::string OverrideOwnModulePath(std::string path) {
  std::lock_guard guard(OverrideLock());
  return std::exchange(OverridePath(), std::move(path));
}

}  // namespace kvo::platform
