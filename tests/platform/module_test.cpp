// Tests of module paths, lookup and loading, with the probe module built beside this program.
#include <gtest/gtest.h>

#include <string>

#include "platform/module.h"

namespace kvo::platform {
namespace {

using PathFunction = size_t (*)(char*, size_t);

std::string BaseName(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1);
}

std::string ProbePath() {
  const std::string program = OwnModulePath();  // this layer is linked into the test program itself
  return program.substr(0, program.find_last_of("/\\") + 1) + KVO_PROBE_FILE_NAME;
}

bool IsAbsolute(const std::string& path) {
#if defined(_WIN32)
  return path.size() > 2 &&
         ((path[1] == ':' && (path[2] == '\\' || path[2] == '/')) || path.rfind("\\\\", 0) == 0);
#else
  return !path.empty() && path[0] == '/';
#endif
}

// Loads the probe for one test and unloads it after.
class ProbeModule : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ProbePath();
    std::string error;
    handle_ = LoadModule(path_.c_str(), &error);
    ASSERT_NE(handle_, nullptr) << path_ << ": " << error;
  }
  void TearDown() override { UnloadModule(handle_); }

  std::string path_;
  ModuleHandle handle_ = nullptr;
};

TEST(Module, OwnModulePathOfProgramIsTheTestProgram) {
  const std::string path = OwnModulePath();
  EXPECT_TRUE(IsAbsolute(path)) << path;
  EXPECT_EQ(BaseName(path).rfind("kvo-platform-test", 0), 0u) << path;
}

TEST_F(ProbeModule, OwnModulePathInsideLibraryNamesTheLibrary) {
  auto* probe_path = reinterpret_cast<PathFunction>(ProcAddress(handle_, "KvoProbeModulePath"));
  ASSERT_NE(probe_path, nullptr);
  char buffer[4096];
  const size_t length = probe_path(buffer, sizeof buffer);
  ASSERT_LT(length, sizeof buffer);
  const std::string reported(buffer, length);
  EXPECT_TRUE(IsAbsolute(reported)) << reported;
  EXPECT_EQ(BaseName(reported), KVO_PROBE_FILE_NAME);
  EXPECT_NE(reported, OwnModulePath());
}

TEST(Module, FindLoadedModuleSeesOnlyLoadedModules) {
  const std::string path = ProbePath();
  const std::string name = BaseName(path);
  EXPECT_EQ(FindLoadedModule(path.c_str()), nullptr);
  EXPECT_EQ(FindLoadedModule(name.c_str()), nullptr);
  ModuleHandle handle = LoadModule(path.c_str());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(FindLoadedModule(path.c_str()), handle);
  EXPECT_EQ(FindLoadedModule(name.c_str()), handle);
  // Looking up takes no reference of its own: one unload releases the one load.
  UnloadModule(handle);
  EXPECT_EQ(FindLoadedModule(path.c_str()), nullptr);
  EXPECT_EQ(FindLoadedModule(""), nullptr);
  EXPECT_EQ(FindLoadedModule(nullptr), nullptr);
}

TEST_F(ProbeModule, ProcAddressOfMissingNameIsNull) {
  EXPECT_EQ(ProcAddress(handle_, "NoSuchProcedureAnywhere"), nullptr);
  EXPECT_EQ(ProcAddress(nullptr, "KvoProbeModulePath"), nullptr);
  EXPECT_EQ(ProcAddress(handle_, nullptr), nullptr);
}

TEST(Module, LoadModuleExplainsFailure) {
  std::string error;
  EXPECT_EQ(LoadModule((ProbePath() + ".missing").c_str(), &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(LoadModule(nullptr, &error), nullptr);
  UnloadModule(nullptr);  // ignored
}

TEST(Module, ProgramModuleIsStable) {
  EXPECT_NE(ProgramModule(), nullptr);
  EXPECT_EQ(ProgramModule(), ProgramModule());
}

TEST(Module, OverriddenOwnPathIsReportedUntilTheOverrideIsTakenBack) {
  const std::string system_path = SystemOwnModulePath();
  ASSERT_FALSE(system_path.empty());
  EXPECT_EQ(OverrideOwnModulePath("elsewhere/filter.dll"), "");
  EXPECT_EQ(OwnModulePath(), "elsewhere/filter.dll");
  EXPECT_EQ(SystemOwnModulePath(), system_path);
  EXPECT_EQ(OverrideOwnModulePath(""), "elsewhere/filter.dll");
  EXPECT_EQ(OwnModulePath(), system_path);
}

}  // namespace
}  // namespace kvo::platform
