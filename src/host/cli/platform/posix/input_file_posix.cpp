#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/cli/platform/input_file.h"

namespace kvo::host::sys {

InputFile::InputFile(intptr_t handle, bool owned) : handle_(handle), owned_(owned) {
  struct stat info {};
  if (::fstat(static_cast<int>(handle), &info) == 0 && S_ISREG(info.st_mode)) {
    regular_ = true;
    size_ = static_cast<int64_t>(info.st_size);
  }
}

InputFile::~InputFile() {
  if (owned_) ::close(static_cast<int>(handle_));
}

std::unique_ptr<InputFile> InputFile::Open(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    if (error) *error = "is a directory";
    return nullptr;
  }
  return std::unique_ptr<InputFile>(new InputFile(fd, true));
}

std::unique_ptr<InputFile> InputFile::StandardInput() {
  return std::unique_ptr<InputFile>(new InputFile(STDIN_FILENO, false));
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size, std::string* error) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (error) *error = std::strerror(errno);
    return -1;
  }
}

}  // namespace kvo::host::sys
