// The settings store of an instance: the stored INI file and the per-thread overrides of settings
// commands.
#include "plugin/settings_file.h"

#include <mutex>

namespace kvo {
namespace {

// The overrides in force on this thread, innermost first.
thread_local const SettingsFile::Override* t_override = nullptr;

}  // namespace

SettingsFile::Override::Override(const SettingsFile& file, std::string ini_file)
    : file_(file), ini_file_(std::move(ini_file)), outer_(t_override) {
  t_override = this;
}

SettingsFile::Override::~Override() {
  t_override = outer_;
}

std::string SettingsFile::Current() const {
  for (const Override* o = t_override; o != nullptr; o = o->outer_) {
    if (&o->file_ == this) return o->ini_file_;
  }
  return Stored();
}

std::string SettingsFile::Stored() const {
  std::lock_guard guard(value_lock_);
  return FINIFile;
}

void SettingsFile::Store(std::string ini_file) {
  std::lock_guard change(change_lock_);
  std::lock_guard guard(value_lock_);
  FINIFile = std::move(ini_file);
}

bool SettingsFile::StoreIfChanged(std::string ini_file) {
  std::lock_guard change(change_lock_);
  std::lock_guard guard(value_lock_);
  if (ini_file == FINIFile) return false;
  FINIFile = std::move(ini_file);
  return true;
}

}  // namespace kvo
