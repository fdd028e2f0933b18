// A process killed while it saves never leaves a torn settings file: a child saves in a loop and is killed
// with SIGKILL at a random moment, again and again; each time the file must hold exactly one of the
// contents that were saved, never a mix, never a truncated or empty file. Covers the INI store and the
// registry store's root file.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>

#include "platform/registry.h"
#include "settings/big_ini.h"
#include "support/scratch_folder.h"

namespace kvo {
namespace {

using testing::ReadRaw;
using testing::ScratchFolder;

constexpr int kRounds = 150;
// Saves differ in size, so a torn file cannot pass for a whole one.
const std::string kTextA(40000, 'a');
const std::string kTextB(70000, 'b');

// Runs `save(i)` for i = 0, 1, 2, ... in a child until the child is killed after a random pause, and
// returns how many times each allowed content was found. A content outside `allowed` fails the test.
std::map<std::string, int> KillWhileSaving(const std::string& file,
                                           const std::map<std::string, std::string>& allowed,
                                           const std::function<void(uint64_t)>& save) {
  std::map<std::string, int> seen;
  // Kills land anywhere within a few saves, however fast this machine saves.
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t i = 0; i < 4; ++i)
    save(i);
  const auto one_save =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
          .count() /
      4;
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int64_t> pause_us(0, 3 * one_save + 100);
  for (int round = 0; round < kRounds; ++round) {
    const pid_t child = ::fork();
    if (child < 0) {
      ADD_FAILURE() << "fork failed";
      return seen;
    }
    if (child == 0) {
      for (uint64_t i = static_cast<uint64_t>(round);; ++i) {
        try {
          save(i);
        } catch (...) {
          ::_exit(3);
        }
      }
    }
    ::usleep(static_cast<useconds_t>(pause_us(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFSIGNALED(status)) {
      ADD_FAILURE() << "the saving child ended by itself, status " << status;
      return seen;
    }
    const std::string content = ReadRaw(file);
    bool known = false;
    for (const auto& [name, text] : allowed) {
      if (content == text) {
        ++seen[name];
        known = true;
      }
    }
    if (!known) {
      ADD_FAILURE() << "round " << round << ": the file holds " << content.size()
                    << " bytes that are none of the saved contents";
      return seen;
    }
  }
  return seen;
}

TEST(KilledSave, IniFileIsAlwaysTheOldOrTheNewContent) {
  ScratchFolder folder;
  const std::string path = folder.File("settings.ini");
  std::map<std::string, std::string> allowed;
  for (const auto& [name, text] : {std::pair{"A", kTextA}, std::pair{"B", kTextB}}) {
    TBigIniFile ini(path);
    ini.WriteString("Common", "Var1", text);
    ini.WriteInteger("Common", "Type1", 1);
    ini.UpdateFile();
    allowed[name] = ReadRaw(path);
  }
  ASSERT_NE(allowed["A"], allowed["B"]);

  const auto seen = KillWhileSaving(path, allowed, [&](uint64_t i) {
    TBigIniFile ini(path);
    ini.WriteString("Common", "Var1", i % 2 == 0 ? kTextA : kTextB);
    ini.UpdateFile();
  });
  // Both contents turn up, so the kills did land in the middle of the saving.
  EXPECT_GT(seen.count("A"), 0U);
  EXPECT_GT(seen.count("B"), 0U);
}

TEST(KilledSave, RegistryRootFileIsAlwaysTheOldOrTheNewContent) {
  ScratchFolder folder;
  ASSERT_EQ(::setenv("KVO_REGISTRY_DIR", folder.Path().c_str(), 1), 0);
  const auto write = [](const std::string& text) {
    platform::RegistryKey key;
    std::string error;
    if (!platform::RegistryKey::Open(platform::RegistryRoot::kCurrentUser, "Software\\kvo-kill", true, &key,
                                     &error) ||
        !key.WriteString("Var1", text, &error)) {
      throw std::runtime_error(error);
    }
  };
  std::string file;
  ASSERT_TRUE(platform::RegistryRootFile(platform::RegistryRoot::kCurrentUser, &file, nullptr));
  std::map<std::string, std::string> allowed;
  for (const auto& [name, text] : {std::pair{"A", kTextA}, std::pair{"B", kTextB}}) {
    write(text);
    allowed[name] = ReadRaw(file);
  }
  ASSERT_NE(allowed["A"], allowed["B"]);

  const auto seen = KillWhileSaving(file, allowed, [&](uint64_t i) { write(i % 2 == 0 ? kTextA : kTextB); });
  EXPECT_GT(seen.count("A"), 0U);
  EXPECT_GT(seen.count("B"), 0U);
  // The store still works after all the kills (a killed holder's file lock is gone with it).
  write("after");
  platform::RegistryKey key;
  ASSERT_TRUE(platform::RegistryKey::Open(platform::RegistryRoot::kCurrentUser, "Software\\kvo-kill", false,
                                          &key, nullptr));
  std::string value;
  EXPECT_TRUE(key.ReadString("Var1", &value));
  EXPECT_EQ(value, "after");
  ::unsetenv("KVO_REGISTRY_DIR");
}

}  // namespace
}  // namespace kvo
#endif
