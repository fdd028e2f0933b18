// Failed saves of the POSIX registry store: a failure at any step of replacing a root's file leaves the
// file byte for byte, reaches the caller as a false result with the reason, leaves no temporary file, and
// the next change succeeds. (On Windows the store is the system registry, which has no such seam.)
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <stdlib.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/faulty_file_system.h"
#include "support/scratch_folder.h"

namespace kvo::platform {
namespace {

using testing::FaultyFileSystem;
using testing::InstalledFileSystem;
using testing::ReadRaw;
using testing::ScratchFolder;

constexpr RegistryRoot kRoot = RegistryRoot::kCurrentUser;
constexpr const char* kKey = "Software\\kvo-fault\\Settings";

// One change of the store, done through an open key of kKey.
struct Change {
  const char* name;
  std::function<bool(RegistryKey&, std::string*)> apply;
  // True when the change is visible through a key opened afterwards.
  std::function<bool(RegistryKey&)> took_effect;
};

const Change kChanges[] = {
    {"WriteDword", [](RegistryKey& key, std::string* error) { return key.WriteDword("Left", 77, error); },
     [](RegistryKey& key) {
       uint32_t value = 0;
       return key.ReadDword("Left", &value) && value == 77;
     }},
    {"WriteString",
     [](RegistryKey& key, std::string* error) {
       return key.WriteString("Var1", std::string(5000, 'n'), error);
     },
     [](RegistryKey& key) {
       std::string value;
       return key.ReadString("Var1", &value) && value == std::string(5000, 'n');
     }},
    {"WriteBinary",
     [](RegistryKey& key, std::string* error) {
       const double value = 2.5;
       return key.WriteBinary("Val1", &value, sizeof value, error);
     },
     [](RegistryKey& key) {
       double value = 0;
       return key.ReadBinary("Val1", &value, sizeof value) && value == 2.5;
     }},
    {"DeleteValue", [](RegistryKey& key, std::string* error) { return key.DeleteValue("Kept", error); },
     [](RegistryKey& key) { return !key.ValueExists("Kept"); }},
    {"DeleteKey", [](RegistryKey& key, std::string* error) { return key.DeleteKey("Child", error); },
     [](RegistryKey&) {
       RegistryKey child;
       return !RegistryKey::Open(kRoot, std::string(kKey) + "\\Child", false, &child, nullptr);
     }},
    {"CreateKey",
     [](RegistryKey&, std::string* error) {
       RegistryKey created;
       return RegistryKey::Open(kRoot, std::string(kKey) + "\\New\\Deeper", true, &created, error);
     },
     [](RegistryKey&) {
       RegistryKey created;
       return RegistryKey::Open(kRoot, std::string(kKey) + "\\New\\Deeper", false, &created, nullptr);
     }},
};

class RegistryFault : public ::testing::TestWithParam<Change> {
 protected:
  void SetUp() override {
    ASSERT_EQ(::setenv("KVO_REGISTRY_DIR", folder_.Path().c_str(), 1), 0);
    RegistryKey key;
    std::string error;
    ASSERT_TRUE(RegistryKey::Open(kRoot, kKey, true, &key, &error)) << error;
    ASSERT_TRUE(key.WriteString("Kept", "old value", &error)) << error;
    ASSERT_TRUE(key.WriteDword("Left", 1, &error)) << error;
    RegistryKey child;
    ASSERT_TRUE(RegistryKey::Open(kRoot, std::string(kKey) + "\\Child", true, &child, &error)) << error;
    ASSERT_TRUE(child.WriteDword("x", 1, &error)) << error;
    ASSERT_TRUE(RegistryRootFile(kRoot, &file_, &error)) << error;
    before_ = ReadRaw(file_);
    ASSERT_FALSE(before_.empty());
  }
  void TearDown() override { ::unsetenv("KVO_REGISTRY_DIR"); }

  static RegistryKey OpenKey() {
    RegistryKey key;
    std::string error;
    EXPECT_TRUE(RegistryKey::Open(kRoot, kKey, false, &key, &error)) << error;
    return key;
  }
  std::set<std::string> Entries() const {
    const std::vector<std::string> names = folder_.Entries();
    return {names.begin(), names.end()};
  }

  ScratchFolder folder_;
  std::string file_;
  std::string before_;
};

const std::set<std::string> kRootFiles = {"HKEY_CURRENT_USER.lock", "HKEY_CURRENT_USER.reg"};

// Walks the injected failure through every step of the change, with whole and with short writes: each
// failure leaves the file as it was, and a retry without failure then succeeds.
TEST_P(RegistryFault, FailureAtEveryStepLeavesTheFileAndARetrySucceeds) {
  for (const bool short_writes : {false, true}) {
    int failed_steps = 0;
    for (int step = 1;; ++step) {
      SCOPED_TRACE(::testing::Message() << "step " << step << (short_writes ? ", short writes" : ""));
      ASSERT_LT(step, 200) << "the change never completed";
      RegistryKey key = OpenKey();
      FaultyFileSystem faulty;
      faulty.short_writes = short_writes;
      faulty.fail_at = step;
      std::string error;
      bool done = false;
      {
        InstalledFileSystem installed(&faulty);
        done = GetParam().apply(key, &error);
      }
      if (faulty.steps < step) {  // no step was left to fail: the change went through untouched
        ASSERT_TRUE(done) << error;
        EXPECT_TRUE(GetParam().took_effect(key));
        break;
      }
      ++failed_steps;
      EXPECT_FALSE(done) << "a failed save was reported as success";
      EXPECT_TRUE(error == FaultyFileSystem::kMessage || error == FaultyFileSystem::kNoSpaceMessage) << error;
      EXPECT_EQ(ReadRaw(file_), before_);
      EXPECT_EQ(Entries(), kRootFiles) << "a temporary file was left";
      RegistryKey reopened = OpenKey();
      EXPECT_FALSE(GetParam().took_effect(reopened));
    }
    // Create, write, flush, permissions, close and rename at least; short writes add more writes.
    EXPECT_GE(failed_steps, short_writes ? 7 : 6);
    // Put the starting state back for the next round.
    testing::WriteRaw(file_, before_);
  }
}

INSTANTIATE_TEST_SUITE_P(Changes, RegistryFault, ::testing::ValuesIn(kChanges),
                         [](const ::testing::TestParamInfo<Change>& change) {
                           return std::string(change.param.name);
                         });

}  // namespace
}  // namespace kvo::platform
#endif
