// Loaded modules on POSIX: the dynamic linker (dladdr, dlopen, dlsym), and /proc for full paths.
#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kvo::platform {
namespace {

// The file mapped at `address`, from /proc/self/maps: always absolute, unlike dladdr's name, which is
// whatever string the module was loaded by (or argv[0] for the program).
std::string MappedFile(const void* address) {
  std::unique_ptr<FILE, int (*)(FILE*)> maps(std::fopen("/proc/self/maps", "re"), &std::fclose);
  if (!maps) return {};
  const auto target = reinterpret_cast<uintptr_t>(address);
  char line[4096 + 128];
  while (std::fgets(line, sizeof line, maps.get()) != nullptr) {
    unsigned long long begin = 0, end = 0;
    int path_offset = 0;
    // begin-end perms offset dev inode path
    if (std::sscanf(line, "%llx-%llx %*s %*s %*s %*s %n", &begin, &end, &path_offset) < 2) continue;
    if (target < begin || target >= end || path_offset == 0 || line[path_offset] != '/') continue;
    std::string path(line + path_offset);
    while (!path.empty() && (path.back() == '\n')) {
      path.pop_back();
    }
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
    return path;
  }
  return {};
}

struct BaseNameSearch {
  std::string_view name;
  std::string path;
};

int MatchBaseName(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<BaseNameSearch*>(data);
  const char* path = info->dlpi_name;
  if (path == nullptr || *path == '\0') return 0;
  const char* slash = std::strrchr(path, '/');
  if (search->name != (slash != nullptr ? slash + 1 : path)) return 0;
  // An exception must not unwind through the dynamic linker, which holds its lock here.
  try {
    search->path = path;
    return 1;
  } catch (...) {
    return -1;
  }
}

std::string FindOwnModulePath() {
  try {
    const void* address = reinterpret_cast<const void*>(&FindOwnModulePath);
    if (std::string path = MappedFile(address); !path.empty()) return path;
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    char* full = realpath(info.dli_fname, nullptr);
    if (full == nullptr) return info.dli_fname;
    std::string path(full);
    free(full);
    return path;
  } catch (...) {
    return {};
  }
}

}  // namespace

std::string SystemOwnModulePath() {
  // Reading the process's memory map is slow in a large host, and the answer never changes.
  static const std::string path = FindOwnModulePath();
  try {
    return path;
  } catch (...) {
    return {};
  }
}

ModuleHandle ProgramModule() {
  // The program stays loaded for the life of the process, so one reference is enough.
  static ModuleHandle const program = dlopen(nullptr, RTLD_LAZY);
  return program;
}

std::string ProgramPath() {
  try {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
    path.resize(static_cast<size_t>(length));
    return path;
  } catch (...) {
    return {};
  }
}

ModuleHandle FindLoadedModule(const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  void* handle = dlopen(name, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr && std::strchr(name, '/') == nullptr) {
    // The dynamic linker matches a bare name only against sonames; Windows matches it against file names.
    BaseNameSearch search{name, {}};
    if (dl_iterate_phdr(&MatchBaseName, &search) > 0)
      handle = dlopen(search.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  }
  // RTLD_NOLOAD still counts a reference; the module stays loaded by whoever loaded it.
  if (handle != nullptr) dlclose(handle);
  return handle;
}

ModuleHandle LoadModule(const char* path, std::string* error) {
  if (path == nullptr) {
    if (error != nullptr) *error = "no module path";
    return nullptr;
  }
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && error != nullptr) {
    const char* reason = dlerror();
    try {
      *error = reason != nullptr ? reason : "cannot load module";
    } catch (...) {
      error->clear();
    }
  }
  return handle;
}

void UnloadModule(ModuleHandle module) {
  if (module != nullptr) dlclose(module);
}

void* ProcAddress(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

}  // namespace kvo::platform
