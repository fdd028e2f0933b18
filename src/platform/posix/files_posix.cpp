// File-system questions on POSIX.
#include <sys/stat.h>

#include "platform/files.h"

namespace kvo::platform {

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace kvo::platform
