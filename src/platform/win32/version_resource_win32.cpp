// Version information on Windows: the file's version resource through version.dll.
#include "platform/version_resource.h"

#include <windows.h>
#include <winver.h>

#include <cstddef>

namespace kvo::platform {

static_assert(sizeof(FixedFileInfo) == sizeof(VS_FIXEDFILEINFO));
static_assert(offsetof(FixedFileInfo, dwFileVersionMS) == offsetof(VS_FIXEDFILEINFO, dwFileVersionMS));
static_assert(offsetof(FixedFileInfo, dwFileDateLS) == offsetof(VS_FIXEDFILEINFO, dwFileDateLS));

uint32_t VersionInfoSize(const char* file, uint32_t* handle) {
  if (handle != nullptr) *handle = 0;
  if (file == nullptr) return 0;
  DWORD zero = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &zero);
  if (handle != nullptr) *handle = zero;
  return size;
}

bool VersionInfoRead(const char* file, uint32_t handle, uint32_t size, void* buffer) {
  if (file == nullptr || buffer == nullptr || size == 0) return false;
  return GetFileVersionInfoA(file, handle, size, buffer) != FALSE;
}

bool VersionQueryRoot(const void* buffer, const FixedFileInfo** info) {
  if (info != nullptr) *info = nullptr;
  if (buffer == nullptr || info == nullptr) return false;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(buffer, "\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* fixed = static_cast<const FixedFileInfo*>(value);
  if (fixed->dwSignature != kFixedFileInfoSignature) return false;
  *info = fixed;
  return true;
}

}  // namespace kvo::platform
