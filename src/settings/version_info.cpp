#include "settings/version_info.h"

#include <limits>

#include "platform/module.h"

namespace kvo {

TVersionInfo::TVersionInfo(std::string_view file_name) : file_name_(file_name) {
  const uint32_t size = platform::VersionInfoSize(file_name_.c_str(), &info_handle_);
  if (size == 0 || size > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return;
  info_size_ = static_cast<int32_t>(size);
  // Allocation failure leaves the constructor: the caller learns of it rather than seeing "no version".
  info_buffer_ = std::make_unique_for_overwrite<unsigned char[]>(size);
  valid_ = platform::VersionInfoRead(file_name_.c_str(), info_handle_, size, info_buffer_.get());
}

const platform::FixedFileInfo* TVersionInfo::FixedFileInfo() const noexcept {
  if (!valid_) return nullptr;
  const platform::FixedFileInfo* info = nullptr;
  return platform::VersionQueryRoot(info_buffer_.get(), &info) ? info : nullptr;
}

std::pair<uint32_t, uint32_t> TVersionInfo::FileLongVersion() const noexcept {
  const platform::FixedFileInfo* info = FixedFileInfo();
  if (info == nullptr) return {0, 0};
  return {info->dwFileVersionMS, info->dwFileVersionLS};
}

std::string TVersionInfo::ModuleFileName() {
  return platform::OwnModulePath();
}

std::unique_ptr<TVersionInfo> TVersionInfo::ModuleVersionInfo() {
  return std::make_unique<TVersionInfo>(ModuleFileName());
}

std::string VersionText(uint32_t ms, uint32_t ls) {
  std::string text = std::to_string(ms >> 16);
  text += '.';
  text += std::to_string(ms & 0xFFFFu);
  text += '.';
  text += std::to_string(ls >> 16);
  text += " build ";
  text += std::to_string(ls & 0xFFFFu);
  return text;
}

std::string ModuleVersionText() {
  const auto [ms, ls] = TVersionInfo::ModuleVersionInfo()->FileLongVersion();
  return VersionText(ms, ls);
}

}  // namespace kvo
