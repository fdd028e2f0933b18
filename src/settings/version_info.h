// Version information of a module file: its four file-version numbers, and the version text the plug-in
// framework shows for the running module ("major.minor.release build N").
//
// The numbers come from the file, not from the loaded code, so the file of any module can be examined;
// a module gets them from kvo_embed_version (cmake/KvoVersion.cmake).
//
// Thread contract: [any-thread]. A TVersionInfo does not change after construction, so its const members
// may be called from several threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/version_resource.h"

namespace kvo {

class TVersionInfo {
 public:
  // Copies `file_name` (platform 8-bit text) and reads the file's version information at once. A file
  // without any, or one that cannot be read, gives an object that is not Valid.
  // Throws std::bad_alloc when the buffer for the information cannot be allocated.
  explicit TVersionInfo(std::string_view file_name);
  TVersionInfo(const TVersionInfo&) = delete;
  TVersionInfo& operator=(const TVersionInfo&) = delete;

  const std::string& FileName() const noexcept { return file_name_; }
  // The value from the size query, handed on to the read.
  uint32_t InfoHandle() const noexcept { return info_handle_; }
  // Bytes of version information in the file; 0 when it has none.
  int32_t InfoSize() const noexcept { return info_size_; }
  // The raw information, InfoSize bytes; null when InfoSize is 0.
  const unsigned char* InfoBuffer() const noexcept { return info_buffer_.get(); }
  // True when InfoBuffer holds the file's version information.
  bool Valid() const noexcept { return valid_; }

  // The fixed record inside InfoBuffer; null when not Valid or when the information has no such record.
  const platform::FixedFileInfo* FixedFileInfo() const noexcept;
  // The file version as (most significant word, least significant word): major << 16 | minor and
  // release << 16 | build. Both words are 0 when there is no fixed record, so a module without version
  // information reads as 0.0.0.0 rather than failing.
  std::pair<uint32_t, uint32_t> FileLongVersion() const noexcept;

  // Full path of the file that contains this code: the plug-in library when it runs inside one, the
  // program's file otherwise. Empty when the system cannot tell.
  static std::string ModuleFileName();
  // A TVersionInfo on ModuleFileName(). Throws std::bad_alloc only.
  static std::unique_ptr<TVersionInfo> ModuleVersionInfo();

 private:
  std::string file_name_;
  uint32_t info_handle_ = 0;
  int32_t info_size_ = 0;
  std::unique_ptr<unsigned char[]> info_buffer_;
  bool valid_ = false;
};

// "major.minor.release build N" in decimal from the two words of a file version: 0x00010002 and
// 0x00030004 give "1.2.3 build 4".
std::string VersionText(uint32_t ms, uint32_t ls);

// The version text of the module that contains this code ("0.0.0 build 0" when its file has no version
// information). Throws std::bad_alloc only.
std::string ModuleVersionText();

}  // namespace kvo
