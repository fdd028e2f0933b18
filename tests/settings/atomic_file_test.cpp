// Tests of the crash-safe save: a failure at any step leaves the previous file byte for byte, reaches the
// caller, leaves no temporary file and keeps the store modified so that a later save succeeds.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

#include "ini_test_support.h"
#include "platform/atomic_file.h"
#include "settings/big_ini.h"

namespace kvo {
namespace {

using testing::FaultyFileSystem;
using testing::InstalledFileSystem;
using testing::ReadRaw;
using testing::ScratchFolder;
using testing::Step;
using testing::WriteRaw;

const std::string kOld = "[s]\r\nk=old\r\n; kept comment\r\n\r\n";
const std::string kNew = "[s]\r\nk=new\r\n; kept comment\r\n\r\n";

struct FailureCase {
  const char* name;
  Step step;
  const char* message;  // a part of the error the caller sees
};

void PrintTo(const FailureCase& failure, std::ostream* out) {
  *out << failure.name;
}

class SaveFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SaveFailure, LeavesThePreviousFileAndALaterSaveSucceeds) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  FaultyFileSystem faulty;
  InstalledFileSystem installed(&faulty);

  TBigIniFile ini(path);
  ini.WriteString("s", "k", "new");
  faulty.fail = GetParam().step;
  try {
    ini.UpdateFile();
    ADD_FAILURE() << "the failed save was not reported";
  } catch (const EInOutError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("store.ini"), std::string::npos) << error.what();
  }
  EXPECT_EQ(ReadRaw(path), kOld);
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"})) << "a temporary file was left";

  faulty.fail = Step::kNone;
  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ReadRaw(path), kNew);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"}));
}

TEST_P(SaveFailure, InTheDestructorIsSwallowedAndLeavesThePreviousFile) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  FaultyFileSystem faulty;
  InstalledFileSystem installed(&faulty);
  faulty.fail = GetParam().step;
  EXPECT_NO_THROW({
    TBigIniFile ini(path);
    ini.WriteString("s", "k", "new");
  });
  EXPECT_EQ(faulty.creates, 1) << "the destructor did not try to save";
  EXPECT_EQ(ReadRaw(path), kOld);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SaveFailure,
    ::testing::Values(FailureCase{"CreateTemp", Step::kCreateTemp, FaultyFileSystem::kMessage},
                      FailureCase{"Write", Step::kWrite, FaultyFileSystem::kMessage},
                      FailureCase{"ShortWriteThenError", Step::kShortWriteThenError,
                                  FaultyFileSystem::kMessage},
                      FailureCase{"NoSpace", Step::kNoSpace, "no space left"},
                      FailureCase{"Flush", Step::kFlush, FaultyFileSystem::kMessage},
                      FailureCase{"CopyPermissions", Step::kCopyPermissions, FaultyFileSystem::kMessage},
                      FailureCase{"Close", Step::kClose, FaultyFileSystem::kMessage},
                      FailureCase{"Rename", Step::kRename, FaultyFileSystem::kMessage}),
    [](const ::testing::TestParamInfo<FailureCase>& case_info) { return std::string(case_info.param.name); });

// Walks the injected failure through every step of a save, with whole and with short writes: each failure
// leaves the previous file and the store modified, and the next save writes the new content.
TEST(AtomicFile, FailureAtEveryStepOfASaveLeavesThePreviousFile) {
  for (const bool short_writes : {false, true}) {
    int failed_steps = 0;
    for (int step = 1;; ++step) {
      SCOPED_TRACE(::testing::Message() << "step " << step << (short_writes ? ", short writes" : ""));
      ASSERT_LT(step, 200) << "the save never completed";
      ScratchFolder folder;
      const std::string path = folder.File("store.ini");
      WriteRaw(path, kOld);
      FaultyFileSystem faulty;
      faulty.short_writes = short_writes;
      faulty.fail_at = step;
      InstalledFileSystem installed(&faulty);
      TBigIniFile ini(path);
      ini.WriteString("s", "k", "new");
      bool failed = false;
      try {
        ini.UpdateFile();
      } catch (const EInOutError& error) {
        failed = true;
        EXPECT_NE(std::string(error.what()).find("store.ini"), std::string::npos) << error.what();
      }
      if (faulty.steps < step) {  // no step was left to fail
        ASSERT_FALSE(failed);
        EXPECT_EQ(ReadRaw(path), kNew);
        break;
      }
      ++failed_steps;
      EXPECT_TRUE(failed) << "a failed save was reported as success";
      EXPECT_EQ(ReadRaw(path), kOld);
      EXPECT_TRUE(ini.Modified());
      EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"})) << "a temporary file was left";
      faulty.fail_at = 0;
      ini.UpdateFile();
      EXPECT_EQ(ReadRaw(path), kNew);
    }
    EXPECT_GE(failed_steps, short_writes ? 7 : 6);
  }
}

TEST(AtomicFile, FailedSaveWhenSwitchingFilesKeepsTheStore) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  FaultyFileSystem faulty;
  InstalledFileSystem installed(&faulty);
  TBigIniFile ini(path);
  ini.WriteString("s", "k", "new");
  faulty.fail = Step::kRename;
  EXPECT_THROW(ini.SetFileName(folder.File("other.ini")), EInOutError);
  EXPECT_EQ(ini.FileName(), path);
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.ReadString("s", "k", ""), "new");
  faulty.fail = Step::kNone;
  ini.SetFileName(folder.File("other.ini"));
  EXPECT_EQ(ReadRaw(path), kNew);
}

TEST(AtomicFile, ShortWritesStillProduceTheWholeFile) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  FaultyFileSystem faulty;
  faulty.short_writes = true;
  InstalledFileSystem installed(&faulty);
  const std::string content(1000, 'x');
  std::string error;
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, content, &error)) << error;
  EXPECT_EQ(ReadRaw(path), content);
  EXPECT_GT(faulty.writes, 5);
}

TEST(AtomicFile, StepsRunInOrderAndEachOnce) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  FaultyFileSystem faulty;
  InstalledFileSystem installed(&faulty);
  std::string error;
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, "abc", &error)) << error;
  EXPECT_EQ(faulty.creates, 1);
  EXPECT_EQ(faulty.writes, 1);
  EXPECT_EQ(faulty.flushes, 1);
  EXPECT_EQ(faulty.permission_copies, 1);
  EXPECT_EQ(faulty.closes, 1);
  EXPECT_EQ(faulty.renames, 1);
  EXPECT_EQ(faulty.removes, 0);
  EXPECT_EQ(ReadRaw(path), "abc");
}

// A file system whose writes report success without writing anything.
class StalledFileSystem final : public platform::FileSystem {
 public:
  bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                  std::string* error) override {
    return real_.CreateTemp(path, temp_name, handle, error);
  }
  bool Write(intptr_t, const char*, size_t, size_t* written, std::string*) override {
    *written = 0;
    return true;
  }
  bool Flush(intptr_t handle, std::string* error) override { return real_.Flush(handle, error); }
  bool Close(intptr_t handle, std::string* error) override { return real_.Close(handle, error); }
  bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) override {
    return real_.CopyPermissions(path, temp_name, error);
  }
  bool Rename(const std::string& temp_name, const std::string& path, std::string* error) override {
    return real_.Rename(temp_name, path, error);
  }
  void Remove(const std::string& name) override { real_.Remove(name); }

 private:
  platform::FileSystem& real_ = platform::SystemFileSystem();
};

TEST(AtomicFile, WriteWithoutProgressFailsInsteadOfLooping) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  StalledFileSystem stalled;
  InstalledFileSystem installed(&stalled);
  std::string error;
  EXPECT_FALSE(platform::ReplaceFileAtomically(path, "new", &error));
  EXPECT_NE(error.find("no progress"), std::string::npos) << error;
  EXPECT_EQ(ReadRaw(path), kOld);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"}));
}

TEST(AtomicFile, InstallReturnsThePreviousFileSystem) {
  FaultyFileSystem faulty;
  EXPECT_EQ(platform::InstallFileSystem(&faulty), &platform::SystemFileSystem());
  EXPECT_EQ(&platform::CurrentFileSystem(), &faulty);
  EXPECT_EQ(platform::InstallFileSystem(nullptr), &faulty);
  EXPECT_EQ(&platform::CurrentFileSystem(), &platform::SystemFileSystem());
}

TEST(AtomicFile, ReadWholeFileReadsEveryByte) {
  ScratchFolder folder;
  const std::string path = folder.File("data.bin");
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(i * 7);
  WriteRaw(path, bytes);
  std::string content;
  std::string error;
  ASSERT_TRUE(platform::ReadWholeFile(path, &content, &error)) << error;
  EXPECT_EQ(content, bytes);
}

TEST(AtomicFile, ReadWholeFileOfAMissingFileFails) {
  ScratchFolder folder;
  std::string content = "stale";
  std::string error;
  EXPECT_FALSE(platform::ReadWholeFile(folder.File("absent"), &content, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(content.empty());
}

TEST(AtomicFile, ReplacingAMissingFileCreatesIt) {
  ScratchFolder folder;
  const std::string path = folder.File("fresh.ini");
  std::string error;
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, "[a]\r\n", &error)) << error;
  EXPECT_EQ(ReadRaw(path), "[a]\r\n");
}

#if !defined(_WIN32)
mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(AtomicFile, SaveKeepsThePermissionsOfTheOldFile) {
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0604}}) {
    ScratchFolder folder;
    const std::string path = folder.File("store.ini");
    WriteRaw(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    {
      TBigIniFile ini(path);
      ini.WriteString("s", "k", "new");
      ini.UpdateFile();
    }
    EXPECT_EQ(ReadRaw(path), kNew);
    EXPECT_EQ(ModeOf(path), mode);
  }
}

TEST(AtomicFile, NewFileGetsTheModeTheUmaskAllows) {
  ScratchFolder folder;
  const std::string path = folder.File("fresh.ini");
  const mode_t previous = ::umask(027);
  std::string error;
  const bool saved = platform::ReplaceFileAtomically(path, "x", &error);
  ::umask(previous);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(ModeOf(path), mode_t{0640});
}

TEST(AtomicFile, SaveThroughASymbolicLinkReplacesItsTarget) {
  ScratchFolder folder;
  std::filesystem::create_directories(folder.Path() / "real");
  const std::string target = (folder.Path() / "real" / "store.ini").string();
  const std::string link = folder.File("link.ini");
  WriteRaw(target, kOld);
  std::filesystem::create_symlink(std::filesystem::path("real") / "store.ini", link);
  {
    TBigIniFile ini(link);
    ini.WriteString("s", "k", "new");
  }
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadRaw(target), kNew);
  EXPECT_EQ(folder.Entries().size(), 2u);
}

TEST(AtomicFile, ReadOnlyFolderMakesTheSaveFailAndKeepsTheFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions; the CreateTemp failure case covers this";
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  TBigIniFile ini(path);
  ini.WriteString("s", "k", "new");
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
  EXPECT_THROW(ini.UpdateFile(), EInOutError);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
  EXPECT_EQ(ReadRaw(path), kOld);
  EXPECT_TRUE(ini.Modified());
  ini.UpdateFile();
  EXPECT_EQ(ReadRaw(path), kNew);
}

TEST(AtomicFile, ReadOnlyFileMakesTheSaveFailAndKeepsTheFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes any file; the CopyPermissions failure case covers this";
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TBigIniFile ini(path);
  ini.WriteString("s", "k", "new");
  EXPECT_THROW(ini.UpdateFile(), EInOutError);
  EXPECT_EQ(ReadRaw(path), kOld);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"}));
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ini.UpdateFile();
  EXPECT_EQ(ReadRaw(path), kNew);
}

TEST(AtomicFile, UnreadableFileIsReportedOnOpening) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  EXPECT_THROW(TBigIniFile ini(path), EInOutError);
}
#else
TEST(AtomicFile, SaveKeepsTheHiddenAttribute) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  {
    TBigIniFile ini(path);
    ini.WriteString("s", "k", "new");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadRaw(path), kNew);
  EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST(AtomicFile, ReadOnlyFileMakesTheSaveFailAndKeepsTheFile) {
  ScratchFolder folder;
  const std::string path = folder.File("store.ini");
  WriteRaw(path, kOld);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  TBigIniFile ini(path);
  ini.WriteString("s", "k", "new");
  EXPECT_THROW(ini.UpdateFile(), EInOutError);
  EXPECT_EQ(ReadRaw(path), kOld);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"store.ini"}));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  ini.UpdateFile();
  EXPECT_EQ(ReadRaw(path), kNew);
}
#endif

}  // namespace
}  // namespace kvo
