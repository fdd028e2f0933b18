// Whole-file reads and crash-safe replacement on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/atomic_file.h"

namespace kvo::platform {

namespace {

std::string Describe(const char* what, const std::string& name, int code) {
  std::string text = what;
  if (!name.empty()) {
    text += " '";
    text += name;
    text += "'";
  }
  text += ": ";
  text += std::system_category().message(code);
  return text;
}

void SetError(std::string* error, const char* what, const std::string& name, int code) {
  if (error != nullptr) *error = Describe(what, name, code);
}

// The folder part of `path`, for the directory sync that makes a rename durable.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Six characters that differ between processes, threads and calls; O_EXCL settles the rare clash.
void AppendUniqueSuffix(std::string& name, uint32_t attempt) {
  static std::atomic<uint32_t> counter{0};
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30) ^
                  (static_cast<uint64_t>(getpid()) << 20) ^
                  (static_cast<uint64_t>(counter.fetch_add(1, std::memory_order_relaxed)) << 8) ^ attempt;
  seed *= 0x9E3779B97F4A7C15ULL;
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int i = 0; i < 6; ++i) {
    name += kChars[(seed >> 58) % 62];
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
  }
}

// The file a save must replace: the target of a symbolic link, so that the link stays a link (and the
// temporary file lands on the target's file system, where rename works). A dangling link is replaced.
std::string Target(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

class PosixFileSystem final : public FileSystem {
 public:
  bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                  std::string* error) override {
    // Mode 0666 lets the umask decide, as for any new file, when there is no old file to copy from.
    const std::string base = Target(path) + ".tmp";
    for (uint32_t attempt = 0; attempt < 100; ++attempt) {
      std::string name = base;
      AppendUniqueSuffix(name, attempt);
      const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        *temp_name = std::move(name);
        *handle = fd;
        return true;
      }
      if (errno != EEXIST && errno != EINTR) {
        SetError(error, "cannot create", name, errno);
        return false;
      }
    }
    SetError(error, "cannot create a temporary file for", path, EEXIST);
    return false;
  }

  bool Write(intptr_t handle, const char* data, size_t size, size_t* written, std::string* error) override {
    for (;;) {
      const ssize_t n = ::write(static_cast<int>(handle), data, size);
      if (n >= 0) {
        *written = static_cast<size_t>(n);
        return true;
      }
      if (errno != EINTR) {
        SetError(error, "cannot write the temporary file", "", errno);
        return false;
      }
    }
  }

  bool Flush(intptr_t handle, std::string* error) override {
    while (::fsync(static_cast<int>(handle)) != 0) {
      if (errno != EINTR) {
        SetError(error, "cannot flush the temporary file", "", errno);
        return false;
      }
    }
    return true;
  }

  bool Close(intptr_t handle, std::string* error) override {
    // The descriptor is gone after close even when it reports an error, so no retry on EINTR.
    if (::close(static_cast<int>(handle)) != 0 && errno != EINTR) {
      SetError(error, "cannot close the temporary file", "", errno);
      return false;
    }
    return true;
  }

  bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) override {
    struct stat old_file {};
    if (::stat(path.c_str(), &old_file) != 0) {
      if (errno == ENOENT) return true;
      SetError(error, "cannot examine", path, errno);
      return false;
    }
    // A file the user may not write must stay as it is, as when it was written in place; the rename
    // alone would only need the folder's permission.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
      SetError(error, "cannot replace", path, errno);
      return false;
    }
    if (::chmod(temp_name.c_str(), old_file.st_mode & 07777) != 0) {
      SetError(error, "cannot set the permissions of", temp_name, errno);
      return false;
    }
    return true;
  }

  bool Rename(const std::string& temp_name, const std::string& link_or_path, std::string* error) override {
    const std::string path = Target(link_or_path);
    if (::rename(temp_name.c_str(), path.c_str()) != 0) {
      SetError(error, "cannot replace", path, errno);
      return false;
    }
    // Makes the new name durable. The file is already in place, so a folder that cannot be synced
    // (some file systems refuse) does not turn the replacement into a failure.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
    return true;
  }

  void Remove(const std::string& name) override { ::unlink(name.c_str()); }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem system;
  return system;
}

bool ReadWholeFile(const std::string& path, std::string* content, std::string* error) {
  content->clear();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetError(error, "cannot open", path, errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    SetError(error, "cannot read", path, EISDIR);
    return false;
  }
  if (info.st_size > 0) content->reserve(static_cast<size_t>(info.st_size));
  char buffer[28672];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      content->append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      const int code = errno;
      ::close(fd);
      content->clear();
      SetError(error, "cannot read", path, code);
      return false;
    }
  }
  ::close(fd);
  return true;
}

}  // namespace kvo::platform
