// Version information stored in a module file: the fixed record with its four file-version numbers,
// read from the file without loading it. Shaped like the Windows version API (size query, read, root
// query), so that the caller follows one algorithm on every platform.
//
// Windows: the file's version resource (GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA).
// POSIX: ELF files have no version resources, so kvo_embed_version (cmake/KvoVersion.cmake) puts the
// record into a section ".kvo_version" of little-endian ELF files (32- and 64-bit). The section holds
// the UTF-16 key "VS_VERSION_INFO" with its terminating zero (32 bytes), then a FixedFileInfo; it may be
// longer, never shorter. The file is untrusted: every offset and size is checked against its length.
//
// Thread contract: [any-thread].
#pragma once

#include <cstdint>

namespace kvo::platform {

inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;

// The layout of the Windows VS_FIXEDFILEINFO record. The file version is dwFileVersionMS (major in the
// high 16 bits, minor in the low 16) and dwFileVersionLS (release high, build low).
struct FixedFileInfo {
  uint32_t dwSignature;
  uint32_t dwStrucVersion;
  uint32_t dwFileVersionMS;
  uint32_t dwFileVersionLS;
  uint32_t dwProductVersionMS;
  uint32_t dwProductVersionLS;
  uint32_t dwFileFlagsMask;
  uint32_t dwFileFlags;
  uint32_t dwFileOS;
  uint32_t dwFileType;
  uint32_t dwFileSubtype;
  uint32_t dwFileDateMS;
  uint32_t dwFileDateLS;
};
static_assert(sizeof(FixedFileInfo) == 52);

// Size in bytes of the version information of `file` (a path in the platform's 8-bit text), 0 when the
// file has none or cannot be read. `*handle` (when given) receives the value to pass to VersionInfoRead;
// it is always 0, as on Windows.
uint32_t VersionInfoSize(const char* file, uint32_t* handle);

// Reads at most `size` bytes of the version information of `file` into `buffer`; false when the file
// has none, cannot be read, or (POSIX) `size` cannot hold the whole record. `handle` is ignored.
// REQUIRES: `buffer` holds `size` bytes.
bool VersionInfoRead(const char* file, uint32_t handle, uint32_t size, void* buffer);

// Finds the fixed record (the root block "\") in a buffer filled by VersionInfoRead and points `*info`
// into that buffer; false (and `*info` null) when there is none or its signature is wrong.
// REQUIRES: `buffer` was filled by a successful VersionInfoRead and is aligned for uint32_t.
bool VersionQueryRoot(const void* buffer, const FixedFileInfo** info);

}  // namespace kvo::platform
