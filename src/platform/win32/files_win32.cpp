// File-system questions on Windows.
#include <windows.h>

#include "platform/files.h"

namespace kvo::platform {

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WriteFileBytes(const std::string& path, std::string_view content, bool append) {
  if (path.empty()) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = !append || SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
  const char* data = content.data();
  size_t left = content.size();
  while (ok && left > 0) {
    const DWORD piece = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    ok = WriteFile(file, data, piece, &written, nullptr) != FALSE && written > 0;
    data += written;
    left -= written;
  }
  return CloseHandle(file) != FALSE && ok;
}

}  // namespace kvo::platform
