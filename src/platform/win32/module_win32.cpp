// Loaded modules on Windows: module handles, LoadLibraryA and GetProcAddress.
#include "platform/module.h"

#include <windows.h>

#include <cstring>

namespace kvo::platform {
namespace {

std::string ModuleFileName(HMODULE module) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // A full buffer means the path was cut; long paths reach 32767 characters.
    if (path.size() > 65536) return {};
    path.resize(path.size() * 2);
  }
}

std::string ErrorText(DWORD code) {
  char buffer[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                buffer, sizeof buffer, nullptr);
  while (length > 0 &&
         (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' ')) {
    --length;
  }
  std::string text(buffer, length);
  if (!text.empty()) text += ' ';
  text += "(error " + std::to_string(code) + ")";
  return text;
}

}  // namespace

std::string SystemOwnModulePath() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&SystemOwnModulePath), &self)) {
    return {};
  }
  try {
    return ModuleFileName(self);
  } catch (...) {
    return {};
  }
}

ModuleHandle ProgramModule() {
  return GetModuleHandleA(nullptr);
}

std::string ProgramPath() {
  try {
    return ModuleFileName(nullptr);
  } catch (...) {
    return {};
  }
}

ModuleHandle FindLoadedModule(const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  return GetModuleHandleA(name);
}

ModuleHandle LoadModule(const char* path, std::string* error) {
  if (path == nullptr) {
    if (error != nullptr) *error = "no module path";
    return nullptr;
  }
  // No "cannot find disk" dialog boxes from inside a host.
  DWORD old_mode = 0;
  const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode) != 0;
  HMODULE module = LoadLibraryA(path);
  const DWORD code = GetLastError();
  if (mode_set) SetThreadErrorMode(old_mode, nullptr);
  if (module == nullptr && error != nullptr) {
    try {
      *error = ErrorText(code);
    } catch (...) {
      error->clear();
    }
  }
  return module;
}

void UnloadModule(ModuleHandle module) {
  if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

void* ProcAddress(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  const FARPROC proc = GetProcAddress(static_cast<HMODULE>(module), name);
  void* address;
  static_assert(sizeof address == sizeof proc);
  std::memcpy(&address, &proc, sizeof address);
  return address;
}

}  // namespace kvo::platform
