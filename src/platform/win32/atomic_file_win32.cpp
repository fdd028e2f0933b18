// Whole-file reads and crash-safe replacement on Windows.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/atomic_file.h"

namespace kvo::platform {

namespace {

std::string Describe(const char* what, const std::string& name, DWORD code) {
  std::string text = what;
  if (!name.empty()) {
    text += " '";
    text += name;
    text += "'";
  }
  text += ": ";
  char message[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, message, sizeof message, nullptr);
  std::string_view shown(message, length);
  while (!shown.empty() && (shown.back() == '\r' || shown.back() == '\n' || shown.back() == ' ')) {
    shown.remove_suffix(1);
  }
  if (shown.empty()) {
    text += "system error " + std::to_string(code);
  } else {
    text += shown;
  }
  return text;
}

void SetError(std::string* error, const char* what, const std::string& name, DWORD code) {
  if (error != nullptr) *error = Describe(what, name, code);
}

HANDLE ToHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Six characters that differ between processes, threads and calls; CREATE_NEW settles the rare clash.
void AppendUniqueSuffix(std::string& name, uint32_t attempt) {
  static std::atomic<uint32_t> counter{0};
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  uint64_t seed = static_cast<uint64_t>(now.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                  (static_cast<uint64_t>(GetCurrentThreadId()) << 16) ^
                  (static_cast<uint64_t>(counter.fetch_add(1, std::memory_order_relaxed)) << 8) ^ attempt;
  seed *= 0x9E3779B97F4A7C15ULL;
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";  // names ignore case here
  for (int i = 0; i < 6; ++i) {
    name += kChars[(seed >> 58) % 36];
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
  }
}

class Win32FileSystem final : public FileSystem {
 public:
  bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                  std::string* error) override {
    for (uint32_t attempt = 0; attempt < 100; ++attempt) {
      std::string name = path + ".tmp";
      AppendUniqueSuffix(name, attempt);
      const HANDLE file =
          CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        *temp_name = std::move(name);
        *handle = reinterpret_cast<intptr_t>(file);
        return true;
      }
      const DWORD code = GetLastError();
      if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
        SetError(error, "cannot create", name, code);
        return false;
      }
    }
    SetError(error, "cannot create a temporary file for", path, ERROR_FILE_EXISTS);
    return false;
  }

  bool Write(intptr_t handle, const char* data, size_t size, size_t* written, std::string* error) override {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(ToHandle(handle), data, chunk, &done, nullptr)) {
      SetError(error, "cannot write the temporary file", "", GetLastError());
      return false;
    }
    *written = done;
    return true;
  }

  bool Flush(intptr_t handle, std::string* error) override {
    if (!FlushFileBuffers(ToHandle(handle))) {
      SetError(error, "cannot flush the temporary file", "", GetLastError());
      return false;
    }
    return true;
  }

  bool Close(intptr_t handle, std::string* error) override {
    if (!CloseHandle(ToHandle(handle))) {
      SetError(error, "cannot close the temporary file", "", GetLastError());
      return false;
    }
    return true;
  }

  bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) override {
    // A new file takes the folder's access rights, as the old one did; what the old file adds of its own
    // is its attributes.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
      SetError(error, "cannot examine", path, code);
      return false;
    }
    // A read-only file must stay as it is, as when it was written in place; renaming over it would not
    // refuse everywhere.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetError(error, "cannot replace", path, ERROR_ACCESS_DENIED);
      return false;
    }
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept != 0 && !SetFileAttributesA(temp_name.c_str(), kept)) {
      SetError(error, "cannot set the attributes of", temp_name, GetLastError());
      return false;
    }
    return true;
  }

  bool Rename(const std::string& temp_name, const std::string& path, std::string* error) override {
    if (!MoveFileExA(temp_name.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      SetError(error, "cannot replace", path, GetLastError());
      return false;
    }
    return true;
  }

  void Remove(const std::string& name) override {
    SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(name.c_str());
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem system;
  return system;
}

bool ReadWholeFile(const std::string& path, std::string* content, std::string* error) {
  content->clear();
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetError(error, "cannot open", path, GetLastError());
    return false;
  }
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < 0x7FFFFFFF) {
    content->reserve(static_cast<size_t>(size.QuadPart));
  }
  char buffer[28672];
  for (;;) {
    DWORD done = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &done, nullptr)) {
      const DWORD code = GetLastError();
      CloseHandle(file);
      content->clear();
      SetError(error, "cannot read", path, code);
      return false;
    }
    if (done == 0) break;
    content->append(buffer, done);
  }
  CloseHandle(file);
  return true;
}

}  // namespace kvo::platform
