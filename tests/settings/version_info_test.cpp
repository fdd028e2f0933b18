// Version information of module files: the numbers embedded at build time, read back from the files
// beside this program and from inside a loaded library, and files that carry none.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/module.h"
#include "settings/version_info.h"
#include "settings/version_test_files.h"

namespace kvo {
namespace {

using Words = std::pair<uint32_t, uint32_t>;
using TextFunction = size_t (*)(char*, size_t);

TEST(VersionText, JoinsMajorMinorReleaseAndBuildInDecimal) {
  struct Case {
    uint32_t ms, ls;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0x00010002u, 0x00030004u, "1.2.3 build 4"},
      {0x00030002u, 0x00000006u, "3.2.0 build 6"},
      {0u, 0u, "0.0.0 build 0"},
      {0x000A0064u, 0x03E80000u, "10.100.1000 build 0"},
      {0xFFFFFFFFu, 0xFFFFFFFFu, "65535.65535.65535 build 65535"},
      {0x00000001u, 0x00010000u, "0.1.1 build 0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VersionText(c.ms, c.ls), c.text) << std::hex << c.ms << ' ' << c.ls;
}

TEST(VersionInfo, EmbeddedVersionReadsBackFromTheModuleFile) {
  const std::string path = test::BesideProgram(KVO_VERSIONED_MODULE);
  const TVersionInfo info(path);
  EXPECT_EQ(info.FileName(), path);
  ASSERT_TRUE(info.Valid()) << path;
  ASSERT_GT(info.InfoSize(), 0);
  const platform::FixedFileInfo* fixed = info.FixedFileInfo();
  ASSERT_NE(fixed, nullptr);
  // The record lies inside the object's own buffer.
  const auto* record = reinterpret_cast<const unsigned char*>(fixed);
  EXPECT_GE(record, info.InfoBuffer());
  EXPECT_LE(record + sizeof *fixed, info.InfoBuffer() + info.InfoSize());
  EXPECT_EQ(fixed->dwSignature, platform::kFixedFileInfoSignature);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00030004u);
  EXPECT_EQ(fixed->dwFileType, 2u);  // a library
  EXPECT_EQ(info.FileLongVersion(), Words(0x00010002u, 0x00030004u));
  const auto [ms, ls] = info.FileLongVersion();
  EXPECT_EQ(VersionText(ms, ls), "1.2.3 build 4");
}

TEST(VersionInfo, DefaultEmbeddedVersionIsTheProjectVersion) {
  const TVersionInfo info(test::BesideProgram(KVO_DEFAULT_VERSION_MODULE));
  ASSERT_TRUE(info.Valid());
  const auto [ms, ls] = info.FileLongVersion();
  EXPECT_EQ(VersionText(ms, ls), KVO_PROJECT_VERSION_TEXT);
}

TEST(VersionInfo, FileWithoutVersionIsNotValidAndReadsAsZero) {
  const std::vector<std::string> files = {
      test::BesideProgram(KVO_UNVERSIONED_MODULE),
      test::BesideProgram("no-such-module.bin"),
      platform::OwnModulePath(),  // the test program carries no version
      "",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const TVersionInfo info(file);
    EXPECT_FALSE(info.Valid());
    EXPECT_EQ(info.InfoSize(), 0);
    EXPECT_EQ(info.InfoBuffer(), nullptr);
    EXPECT_EQ(info.FixedFileInfo(), nullptr);
    EXPECT_EQ(info.FileLongVersion(), Words(0, 0));
  }
}

TEST(VersionInfo, ModuleFileNameInTheProgramNamesTheProgram) {
  const std::string path = TVersionInfo::ModuleFileName();
  const std::string name = path.substr(path.find_last_of("/\\") + 1);
  EXPECT_EQ(name.rfind("kvo-settings-test", 0), 0u) << path;
  const auto info = TVersionInfo::ModuleVersionInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->FileName(), path);
  EXPECT_EQ(ModuleVersionText(), "0.0.0 build 0");
}

// Calls a text function exported by one of the probe modules.
std::string CallProbe(platform::ModuleHandle module, const char* function) {
  auto* call = reinterpret_cast<TextFunction>(platform::ProcAddress(module, function));
  if (call == nullptr) return "<no " + std::string(function) + ">";
  char buffer[4096];
  const size_t length = call(buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return "<" + std::string(function) + " failed>";
  return std::string(buffer, length);
}

TEST(ModuleVersionText, InsideALibraryIsTheLibrarysOwnVersion) {
  struct Case {
    const char* module;
    std::string text;
  };
  const std::vector<Case> cases = {
      {KVO_VERSIONED_MODULE, "1.2.3 build 4"},
      {KVO_DEFAULT_VERSION_MODULE, KVO_PROJECT_VERSION_TEXT},
      {KVO_UNVERSIONED_MODULE, "0.0.0 build 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    const std::string path = test::BesideProgram(c.module);
    std::string error;
    platform::ModuleHandle module = platform::LoadModule(path.c_str(), &error);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(CallProbe(module, "KvoProbeVersionText"), c.text);
    const std::string reported = CallProbe(module, "KvoProbeModuleFileName");
    std::error_code failure;
    EXPECT_TRUE(std::filesystem::equivalent(reported, path, failure)) << reported << ' ' << failure.message();
    EXPECT_NE(reported, TVersionInfo::ModuleFileName());
    platform::UnloadModule(module);
  }
}

}  // namespace
}  // namespace kvo
