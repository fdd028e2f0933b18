// Version information on POSIX: the ".kvo_version" section of an ELF file, found through its section
// headers with plain reads. The file may be truncated or hostile, so nothing in it is trusted: each
// offset and size is checked against the file's length before it is read, with overflow-free arithmetic.
#include "platform/version_resource.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>

namespace kvo::platform {
namespace {

// The records are read in place; a big-endian host would need to swap every field.
static_assert(std::endian::native == std::endian::little);

constexpr char kSectionName[] = ".kvo_version";  // with its terminating zero
// u"VS_VERSION_INFO" with its terminating zero, as little-endian UTF-16.
constexpr unsigned char kKey[] = {'V', 0, 'S', 0, '_', 0, 'V', 0, 'E', 0, 'R', 0, 'S', 0, 'I', 0,
                                  'O', 0, 'N', 0, '_', 0, 'I', 0, 'N', 0, 'F', 0, 'O', 0, 0,   0};
constexpr uint32_t kRecordOffset = sizeof kKey;
constexpr uint32_t kBlobSize = kRecordOffset + sizeof(FixedFileInfo);
static_assert(kRecordOffset % alignof(FixedFileInfo) == 0);
// A Windows version resource is at most 64 KiB; anything larger is not ours and must not drive an
// allocation in the caller.
constexpr uint64_t kMaxSectionSize = 0xFFFF;

constexpr unsigned char kMagic[] = {0x7F, 'E', 'L', 'F'};
constexpr unsigned char kLittleEndian = 1;
constexpr uint32_t kShtNoBits = 8;
constexpr uint32_t kShnXIndex = 0xFFFF;

class File {
 public:
  explicit File(const char* path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; only regular files are read anyway.
    fd_ = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0) {
      size_ = static_cast<uint64_t>(info.st_size);
      regular_ = true;
    }
  }
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool usable() const { return regular_; }

  // True when all `length` bytes at `offset` lie inside the file and were read.
  bool ReadAt(uint64_t offset, void* out, uint64_t length) const {
    if (!Inside(offset, length)) return false;
    auto* bytes = static_cast<unsigned char*>(out);
    while (length > 0) {
      const size_t chunk = length < (1u << 30) ? static_cast<size_t>(length) : (1u << 30);
      const ssize_t got = pread(fd_, bytes, chunk, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;  // the file shrank since fstat, or an I/O error
      bytes += got;
      offset += static_cast<uint64_t>(got);
      length -= static_cast<uint64_t>(got);
    }
    return true;
  }

  bool Inside(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset &&
           offset + length <= static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  bool regular_ = false;
};

uint64_t Le(const unsigned char* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = (value << 8) | bytes[i];
  return value;
}

struct SectionHeader {
  uint32_t name;
  uint32_t type;
  uint64_t offset;
  uint64_t size;
  uint32_t link;
};

// Where the fields of the file header and of a section header lie in each ELF class.
struct ElfLayout {
  uint32_t header_size;
  uint32_t shoff_at, shoff_width;
  uint32_t shentsize_at, shnum_at, shstrndx_at;  // 16-bit fields
  uint32_t section_size;                         // minimum e_shentsize
  uint32_t sh_offset_at, sh_size_at, sh_link_at, field_width;
};
constexpr ElfLayout kElf32 = {52, 32, 4, 46, 48, 50, 40, 16, 20, 24, 4};
constexpr ElfLayout kElf64 = {64, 40, 8, 58, 60, 62, 64, 24, 32, 40, 8};

class ElfReader {
 public:
  explicit ElfReader(const File& file) : file_(file) {}

  // The offset and size of the version section when the file is a little-endian ELF file whose section
  // table, string table and version section all lie inside it and whose section holds the record.
  std::optional<SectionHeader> FindVersionSection() {
    unsigned char header[64];
    if (!file_.ReadAt(0, header, 16)) return std::nullopt;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || header[5] != kLittleEndian) return std::nullopt;
    if (header[4] == 1) {
      layout_ = &kElf32;
    } else if (header[4] == 2) {
      layout_ = &kElf64;
    } else {
      return std::nullopt;
    }
    if (!file_.ReadAt(0, header, layout_->header_size)) return std::nullopt;
    table_offset_ = Le(header + layout_->shoff_at, static_cast<int>(layout_->shoff_width));
    entry_size_ = static_cast<uint32_t>(Le(header + layout_->shentsize_at, 2));
    uint64_t count = Le(header + layout_->shnum_at, 2);
    uint64_t names_index = Le(header + layout_->shstrndx_at, 2);
    if (table_offset_ == 0 || entry_size_ < layout_->section_size) return std::nullopt;
    count_ = 1;  // section 0 is readable before the count is known
    // Large files keep the real count and string table index in section 0.
    if (count == 0 || names_index == kShnXIndex) {
      const auto first = Section(0);
      if (!first) return std::nullopt;
      if (count == 0) count = first->size;
      if (names_index == kShnXIndex) names_index = first->link;
    }
    if (count == 0 || count > (std::numeric_limits<uint64_t>::max() / entry_size_) ||
        !file_.Inside(table_offset_, count * entry_size_) || names_index >= count) {
      return std::nullopt;
    }
    count_ = count;
    const auto names = Section(names_index);
    if (!names || names->type == kShtNoBits || !file_.Inside(names->offset, names->size)) return std::nullopt;

    for (uint64_t i = 0; i < count_; ++i) {
      const auto section = Section(i);
      if (!section || !HasVersionName(*names, section->name)) continue;
      // The first section of that name decides; a later one cannot repair a bad first one.
      if (section->type == kShtNoBits || section->size < kBlobSize || section->size > kMaxSectionSize ||
          !file_.Inside(section->offset, section->size)) {
        return std::nullopt;
      }
      unsigned char blob[kBlobSize];
      if (!file_.ReadAt(section->offset, blob, kBlobSize) || !HoldsRecord(blob)) return std::nullopt;
      return section;
    }
    return std::nullopt;
  }

  static bool HoldsRecord(const unsigned char* blob) {
    return std::memcmp(blob, kKey, sizeof kKey) == 0 &&
           Le(blob + kRecordOffset, 4) == kFixedFileInfoSignature;
  }

 private:
  std::optional<SectionHeader> Section(uint64_t index) const {
    if (index >= count_) return std::nullopt;
    unsigned char raw[64];
    if (!file_.ReadAt(table_offset_ + index * entry_size_, raw, layout_->section_size)) return std::nullopt;
    const int width = static_cast<int>(layout_->field_width);
    return SectionHeader{static_cast<uint32_t>(Le(raw, 4)), static_cast<uint32_t>(Le(raw + 4, 4)),
                         Le(raw + layout_->sh_offset_at, width), Le(raw + layout_->sh_size_at, width),
                         static_cast<uint32_t>(Le(raw + layout_->sh_link_at, 4))};
  }

  bool HasVersionName(const SectionHeader& names, uint32_t name_offset) const {
    if (name_offset > names.size || sizeof kSectionName > names.size - name_offset) return false;
    char name[sizeof kSectionName];
    return file_.ReadAt(names.offset + name_offset, name, sizeof name) &&
           std::memcmp(name, kSectionName, sizeof name) == 0;
  }

  const File& file_;
  const ElfLayout* layout_ = nullptr;
  uint64_t table_offset_ = 0;
  uint32_t entry_size_ = 0;
  uint64_t count_ = 0;
};

}  // namespace

uint32_t VersionInfoSize(const char* file, uint32_t* handle) {
  if (handle != nullptr) *handle = 0;
  if (file == nullptr) return 0;
  const File opened(file);
  if (!opened.usable()) return 0;
  const auto section = ElfReader(opened).FindVersionSection();
  return section ? static_cast<uint32_t>(section->size) : 0;
}

bool VersionInfoRead(const char* file, uint32_t /*handle*/, uint32_t size, void* buffer) {
  if (file == nullptr || buffer == nullptr || size < kBlobSize) return false;
  const File opened(file);
  if (!opened.usable()) return false;
  // Found again rather than remembered: the file may have changed since the size query.
  const auto section = ElfReader(opened).FindVersionSection();
  if (!section) return false;
  const uint64_t length = section->size < size ? section->size : size;
  return opened.ReadAt(section->offset, buffer, length) &&
         ElfReader::HoldsRecord(static_cast<const unsigned char*>(buffer));
}

bool VersionQueryRoot(const void* buffer, const FixedFileInfo** info) {
  if (info != nullptr) *info = nullptr;
  if (buffer == nullptr || info == nullptr) return false;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  if (reinterpret_cast<uintptr_t>(bytes + kRecordOffset) % alignof(FixedFileInfo) != 0) return false;
  if (!ElfReader::HoldsRecord(bytes)) return false;
  *info = reinterpret_cast<const FixedFileInfo*>(bytes + kRecordOffset);
  return true;
}

}  // namespace kvo::platform
