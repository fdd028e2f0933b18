// The operating-system-neutral half of the crash-safe replacement: the seam and the order of the steps.
#include "platform/atomic_file.h"

#include <atomic>

namespace kvo::platform {

namespace {

std::atomic<FileSystem*> g_installed{nullptr};

}  // namespace

FileSystem::~FileSystem() = default;

FileSystem& CurrentFileSystem() {
  FileSystem* installed = g_installed.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : SystemFileSystem();
}

FileSystem* InstallFileSystem(FileSystem* file_system) {
  FileSystem* previous = g_installed.exchange(file_system, std::memory_order_acq_rel);
  return previous != nullptr ? previous : &SystemFileSystem();
}

bool ReplaceFileAtomically(const std::string& path, std::string_view content, std::string* error) {
  std::string ignored;
  std::string* err = error != nullptr ? error : &ignored;
  FileSystem& fs = CurrentFileSystem();
  std::string temp_name;
  intptr_t handle = 0;
  if (!fs.CreateTemp(path, &temp_name, &handle, err)) return false;

  bool open = true;
  const auto give_up = [&]() {
    std::string close_error;
    if (open) fs.Close(handle, &close_error);
    fs.Remove(temp_name);
    return false;
  };

  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    size_t written = 0;
    if (!fs.Write(handle, data, left, &written, err)) return give_up();
    if (written == 0 || written > left) {
      // A write that makes no progress would loop for ever; one that claims more is broken.
      *err = "write to '" + temp_name + "' made no progress";
      return give_up();
    }
    data += written;
    left -= written;
  }
  if (!fs.Flush(handle, err)) return give_up();
  if (!fs.CopyPermissions(path, temp_name, err)) return give_up();
  open = false;
  if (!fs.Close(handle, err)) return give_up();
  if (!fs.Rename(temp_name, path, err)) return give_up();
  return true;
}

}  // namespace kvo::platform
