// The platform's version-information queries on untrusted files: what each query does with bad
// arguments, damaged buffers, and files that are missing, not modules, truncated or crafted to mislead.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/version_resource.h"
#include "settings/version_info.h"
#include "settings/version_test_files.h"

#if defined(_WIN32)
#include <windows.h>
#include <winver.h>
#else
#include <sys/stat.h>
#endif

namespace kvo {
namespace {

using Words = std::pair<uint32_t, uint32_t>;

// The version information of `file` read into a buffer of its own, as TVersionInfo does.
std::vector<unsigned char> ReadInfo(const std::string& file) {
  uint32_t handle = 0;
  const uint32_t size = platform::VersionInfoSize(file.c_str(), &handle);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !platform::VersionInfoRead(file.c_str(), handle, size, buffer.data())) buffer.clear();
  return buffer;
}

TEST(VersionResource, QueriesRefuseMissingArguments) {
  uint32_t handle = 77;
  EXPECT_EQ(platform::VersionInfoSize(nullptr, &handle), 0u);
  EXPECT_EQ(handle, 0u);
  const std::string module = test::BesideProgram(KVO_VERSIONED_MODULE);
  EXPECT_NE(platform::VersionInfoSize(module.c_str(), nullptr), 0u);
  unsigned char buffer[256];
  EXPECT_FALSE(platform::VersionInfoRead(nullptr, 0, sizeof buffer, buffer));
  EXPECT_FALSE(platform::VersionInfoRead(module.c_str(), 0, sizeof buffer, nullptr));
  const platform::FixedFileInfo* info = reinterpret_cast<const platform::FixedFileInfo*>(buffer);
  EXPECT_FALSE(platform::VersionQueryRoot(nullptr, &info));
  EXPECT_EQ(info, nullptr);
  EXPECT_FALSE(platform::VersionQueryRoot(buffer, nullptr));
}

TEST(VersionResource, SizeQueryGivesHandleZero) {
  for (const std::string& file :
       {test::BesideProgram(KVO_VERSIONED_MODULE), test::BesideProgram("missing.bin")}) {
    uint32_t handle = 77;
    platform::VersionInfoSize(file.c_str(), &handle);
    EXPECT_EQ(handle, 0u) << file;
  }
}

TEST(VersionResource, RootQueryRefusesWrongSignature) {
  std::vector<unsigned char> buffer = ReadInfo(test::BesideProgram(KVO_VERSIONED_MODULE));
  const platform::FixedFileInfo* info = nullptr;
  ASSERT_TRUE(platform::VersionQueryRoot(buffer.data(), &info));
  const size_t record = static_cast<size_t>(reinterpret_cast<const unsigned char*>(info) - buffer.data());
  buffer[record] ^= 0x01;
  EXPECT_FALSE(platform::VersionQueryRoot(buffer.data(), &info));
  EXPECT_EQ(info, nullptr);
}

using HostileFile = test::ScratchFolder;

TEST_F(HostileFile, FilesThatAreNoModulesHaveNoVersion) {
  std::mt19937 random(20240611u);
  std::string noise(4096, '\0');
  for (char& c : noise)
    c = static_cast<char>(random() & 0xFF);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty.bin", ""},
      {"noise.bin", noise},
      {"text.txt", "VS_VERSION_INFO is only a name here\n"},
      {"elf-noise.bin",
       "\x7F"
       "ELF\x02\x01\x01" +
           noise},
      {"pe-noise.dll", "MZ" + noise},
  };
  for (const Case& c : cases) {
    const TVersionInfo info(Write(c.name, c.bytes));
    EXPECT_FALSE(info.Valid()) << c.name;
    EXPECT_EQ(info.FileLongVersion(), Words(0, 0)) << c.name;
  }
}

#if defined(_WIN32)

// The resource's texts, as the system's own version query reads them.
TEST(VersionResource, ResourceCarriesTheVersionTexts) {
  std::vector<unsigned char> buffer = ReadInfo(test::BesideProgram(KVO_VERSIONED_MODULE));
  ASSERT_FALSE(buffer.empty());
  struct Case {
    const char* name;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"FileDescription", "kvo \"version\" test module"},
      {"FileVersion", "1.2.3.4"},
      {"OriginalFilename", KVO_VERSIONED_MODULE},
      {"ProductName", "kvo"},
      {"ProductVersion", "1.2.3.4"},
  };
  for (const Case& c : cases) {
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + c.name;
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(buffer.data(), query.c_str(), &value, &length)) << c.name;
    // The length counts the terminating zero.
    EXPECT_EQ(std::string(static_cast<const char*>(value)), c.value) << c.name;
  }
}

#else  // ELF files

TEST(VersionResource, ReadRefusesBufferThatCannotHoldTheRecord) {
  const std::string module = test::BesideProgram(KVO_VERSIONED_MODULE);
  const uint32_t size = platform::VersionInfoSize(module.c_str(), nullptr);
  ASSERT_GE(size, 32u + sizeof(platform::FixedFileInfo));
  std::vector<unsigned char> buffer(size);
  EXPECT_FALSE(
      platform::VersionInfoRead(module.c_str(), 0, 32 + sizeof(platform::FixedFileInfo) - 1, buffer.data()));
  EXPECT_TRUE(platform::VersionInfoRead(module.c_str(), 0, size, buffer.data()));
}

TEST(VersionResource, ReadCopiesNoMoreThanTheSection) {
  const std::string module = test::BesideProgram(KVO_VERSIONED_MODULE);
  const uint32_t size = platform::VersionInfoSize(module.c_str(), nullptr);
  ASSERT_NE(size, 0u);
  std::vector<unsigned char> buffer(size + 64, 0xA5);
  ASSERT_TRUE(platform::VersionInfoRead(module.c_str(), 0, size + 64, buffer.data()));
  for (size_t i = size; i < buffer.size(); ++i)
    ASSERT_EQ(buffer[i], 0xA5) << i;
}

TEST(VersionResource, RootQueryRefusesWrongKeyAndMisalignedBuffer) {
  const std::vector<unsigned char> good = ReadInfo(test::BesideProgram(KVO_VERSIONED_MODULE));
  ASSERT_FALSE(good.empty());
  const platform::FixedFileInfo* info = nullptr;
  std::vector<unsigned char> damaged = good;
  damaged[2] = 'X';  // "VX_VERSION_INFO"
  EXPECT_FALSE(platform::VersionQueryRoot(damaged.data(), &info));
  damaged = good;
  damaged[30] = 'X';  // no terminating zero
  EXPECT_FALSE(platform::VersionQueryRoot(damaged.data(), &info));
  std::vector<unsigned char> shifted(good.size() + 1);
  std::memcpy(shifted.data() + 1, good.data(), good.size());
  EXPECT_FALSE(platform::VersionQueryRoot(shifted.data() + 1, &info));
  EXPECT_EQ(info, nullptr);
}

TEST_F(HostileFile, TruncatedModuleHasNoVersion) {
  const std::string whole = test::ReadFileBytes(test::BesideProgram(KVO_VERSIONED_MODULE));
  ASSERT_GT(whole.size(), 64u);
  ASSERT_EQ(whole[4], 2) << "a 64-bit module is expected";
  // The complete copy is read, so what the cuts below lose is the cut's doing.
  ASSERT_TRUE(TVersionInfo(Write("whole.so", whole)).Valid());
  const size_t record =
      whole.find(std::string("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0\0\xBD\x04\xEF\xFE", 36));
  ASSERT_NE(record, std::string::npos);
  uint64_t table = 0;  // e_shoff of a 64-bit file
  std::memcpy(&table, whole.data() + 40, sizeof table);
  ASSERT_LT(table, whole.size());
  for (const size_t length : std::vector<size_t>{0, 4, 16, 63, 64, record, record + 40, whole.size() / 2,
                                                 static_cast<size_t>(table) + 1, whole.size() - 1}) {
    const TVersionInfo info(Write("cut.so", whole.substr(0, length)));
    EXPECT_FALSE(info.Valid()) << "cut at " << length << " of " << whole.size();
    EXPECT_EQ(info.FixedFileInfo(), nullptr);
  }
}

TEST_F(HostileFile, FoldersAndPipesHaveNoVersion) {
  EXPECT_FALSE(TVersionInfo(folder_.string()).Valid());
  const std::string fifo = (folder_ / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(TVersionInfo(fifo).Valid());  // and does not wait for a writer
}

// A small ELF file with a null section, the version section and the section-name table, written field by
// field so that each test can damage exactly one thing.
class FakeElf {
 public:
  static constexpr uint32_t kMs = 0x00070008u, kLs = 0x0009000Au;

  FakeElf(bool is64, size_t padding) : is64_(is64) {
    const std::string names("\0.kvo_version\0.shstrtab\0", 24);
    std::string blob("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0\0", 32);
    const uint32_t fixed[13] = {
        platform::kFixedFileInfoSignature, 0x10000u, kMs, kLs, kMs, kLs, 0x3F, 0, 0, 2};
    blob.append(reinterpret_cast<const char*>(fixed), sizeof fixed);
    blob.append(padding, '\0');
    const size_t header = is64 ? 64 : 52;
    names_at_ = header;
    blob_at_ = Align(names_at_ + names.size());
    table_at_ = Align(blob_at_ + blob.size());
    bytes_.assign(table_at_ + 3 * EntrySize(), '\0');
    bytes_.replace(0, 7,
                   std::string("\x7F"
                               "ELF",
                               4) +
                       std::string{char(is64 ? 2 : 1), 1, 1});
    Put(16, 2, 3);                   // e_type: shared object
    Put(18, 2, is64 ? 62 : 3);       // e_machine
    Put(20, 4, 1);                   // e_version
    Put(is64 ? 52 : 40, 2, header);  // e_ehsize
    SetTableOffset(table_at_);
    SetEntrySize(EntrySize());
    SetCount(3);
    SetNamesIndex(2);
    bytes_.replace(names_at_, names.size(), names);
    bytes_.replace(blob_at_, blob.size(), blob);
    SetSection(1, kName, 1);
    SetSection(1, kType, 1);  // program data
    SetSection(1, kOffset, blob_at_);
    SetSection(1, kSize, blob.size());
    SetSection(2, kName, 14);
    SetSection(2, kType, 3);  // string table
    SetSection(2, kOffset, names_at_);
    SetSection(2, kSize, names.size());
  }

  enum Field { kName, kType, kOffset, kSize, kLink };

  void SetTableOffset(uint64_t value) { Put(is64_ ? 40 : 32, is64_ ? 8 : 4, value); }
  void SetEntrySize(uint64_t value) { Put(is64_ ? 58 : 46, 2, value); }
  void SetCount(uint64_t value) { Put(is64_ ? 60 : 48, 2, value); }
  void SetNamesIndex(uint64_t value) { Put(is64_ ? 62 : 50, 2, value); }
  void SetSection(size_t index, Field field, uint64_t value) {
    static constexpr size_t at32[] = {0, 4, 16, 20, 24}, at64[] = {0, 4, 24, 32, 40};
    const bool wide = is64_ && (field == kOffset || field == kSize);
    Put(table_at_ + index * EntrySize() + (is64_ ? at64 : at32)[field], wide ? 8 : 4, value);
  }
  // All ones in the width of the class's offsets.
  uint64_t Huge() const { return is64_ ? ~uint64_t{0} : 0xFFFFFFFFu; }

  std::string& bytes() { return bytes_; }
  size_t blob_at() const { return blob_at_; }
  size_t names_at() const { return names_at_; }

 private:
  static size_t Align(size_t offset) { return (offset + 7) & ~size_t{7}; }
  size_t EntrySize() const { return is64_ ? 64 : 40; }
  void Put(size_t at, int width, uint64_t value) {
    for (int i = 0; i < width; ++i)
      bytes_[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }

  bool is64_;
  size_t names_at_ = 0, blob_at_ = 0, table_at_ = 0;
  std::string bytes_;
};

TEST_F(HostileFile, CraftedElfFilesAreReadOnlyWhenWellFormed) {
  struct Case {
    const char* what;
    bool valid;
    std::function<void(FakeElf&)> damage;
    size_t padding = 0;
  };
  const std::vector<Case> cases = {
      {"well formed", true, [](FakeElf&) {}},
      {"section longer than the record", true, [](FakeElf&) {}, 100},
      {"count in section 0", true,
       [](FakeElf& e) {
         e.SetCount(0);
         e.SetSection(0, FakeElf::kSize, 3);
       }},
      {"name table index in section 0", true,
       [](FakeElf& e) {
         e.SetNamesIndex(0xFFFF);
         e.SetSection(0, FakeElf::kLink, 2);
       }},
      {"not ELF", false, [](FakeElf& e) { e.bytes()[1] = 'X'; }},
      {"unknown class", false, [](FakeElf& e) { e.bytes()[4] = 3; }},
      {"big-endian", false, [](FakeElf& e) { e.bytes()[5] = 2; }},
      {"no section table", false, [](FakeElf& e) { e.SetTableOffset(0); }},
      {"section table past the end", false, [](FakeElf& e) { e.SetTableOffset(e.bytes().size()); }},
      {"section table offset overflows", false, [](FakeElf& e) { e.SetTableOffset(e.Huge() - 15); }},
      {"section table runs past the end", false, [](FakeElf& e) { e.SetCount(200); }},
      {"huge count in section 0", false,
       [](FakeElf& e) {
         e.SetCount(0);
         e.SetSection(0, FakeElf::kSize, e.Huge());
       }},
      {"zero count in section 0", false, [](FakeElf& e) { e.SetCount(0); }},
      {"entries too small", false, [](FakeElf& e) { e.SetEntrySize(16); }},
      {"name table index out of range", false, [](FakeElf& e) { e.SetNamesIndex(3); }},
      {"name table past the end", false,
       [](FakeElf& e) { e.SetSection(2, FakeElf::kOffset, e.bytes().size()); }},
      {"name table size overflows", false, [](FakeElf& e) { e.SetSection(2, FakeElf::kSize, e.Huge()); }},
      {"name offset past the name table", false,
       [](FakeElf& e) { e.SetSection(1, FakeElf::kName, 0x7FFFFFF0); }},
      {"name cut by the name table's end", false, [](FakeElf& e) { e.SetSection(2, FakeElf::kSize, 8); }},
      {"no version section", false, [](FakeElf& e) { e.SetSection(1, FakeElf::kName, 14); }},
      {"section name only starts alike", false, [](FakeElf& e) { e.bytes()[e.names_at() + 13] = 'x'; }},
      {"section without file bytes", false, [](FakeElf& e) { e.SetSection(1, FakeElf::kType, 8); }},
      {"section past the end", false,
       [](FakeElf& e) { e.SetSection(1, FakeElf::kOffset, e.bytes().size() - 8); }},
      {"section offset overflows", false,
       [](FakeElf& e) { e.SetSection(1, FakeElf::kOffset, e.Huge() - 8); }},
      {"section runs past the end", false, [](FakeElf& e) { e.SetSection(1, FakeElf::kSize, 0x1000); }},
      {"section size overflows", false, [](FakeElf& e) { e.SetSection(1, FakeElf::kSize, e.Huge()); }},
      {"section shorter than the record", false, [](FakeElf& e) { e.SetSection(1, FakeElf::kSize, 83); }},
      {"section larger than any version resource", false,
       [](FakeElf& e) { e.SetSection(1, FakeElf::kSize, 0x10000); }, 0x10000},
      {"blob without the key", false, [](FakeElf& e) { e.bytes()[e.blob_at()] = 'W'; }},
      {"blob without the signature", false, [](FakeElf& e) { e.bytes()[e.blob_at() + 32] = 0; }},
  };
  for (const bool is64 : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(is64 ? "ELF64 " : "ELF32 ") + c.what);
      FakeElf elf(is64, c.padding);
      c.damage(elf);
      const TVersionInfo info(Write("fake.so", elf.bytes()));
      EXPECT_EQ(info.Valid(), c.valid);
      EXPECT_EQ(info.FileLongVersion(), c.valid ? Words(FakeElf::kMs, FakeElf::kLs) : Words(0, 0));
      EXPECT_EQ(info.FixedFileInfo() != nullptr, c.valid);
    }
  }
}

// Random damage anywhere in the file: whatever is read must be a checked record, and nothing may be read
// outside the file (the sanitizers watch the reads).
TEST_F(HostileFile, RandomlyDamagedElfFilesNeverYieldUncheckedRecords) {
  std::mt19937 random(7u);
  int valid = 0;
  for (int round = 0; round < 800; ++round) {
    FakeElf elf(round % 2 == 0, 0);
    std::string& bytes = elf.bytes();
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i)
      bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
    const TVersionInfo info(Write("fuzz.so", bytes));
    if (!info.Valid()) continue;
    ++valid;
    const platform::FixedFileInfo* fixed = info.FixedFileInfo();
    ASSERT_NE(fixed, nullptr) << "round " << round;
    EXPECT_EQ(fixed->dwSignature, platform::kFixedFileInfoSignature);
    EXPECT_LE(info.InfoSize(), 0xFFFF);
  }
  // Most single flips hit bytes that do not matter; none reading back would mean the reader never succeeds.
  EXPECT_GT(valid, 0);
}

#endif

}  // namespace
}  // namespace kvo
