// Custom commands: the list a menu-extension module offers (GetCustomCommands and its text), running a
// custom command, and the ownership of the list's entries. This file replaces the global allocation
// functions to see whether an entry is destroyed.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "plugin/custom_commands.h"
#include "plugin_test_support.h"

namespace {

std::atomic<const void*> g_watched{nullptr};
std::atomic<int> g_watched_releases{0};

void* Allocate(std::size_t size) {
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void Release(void* memory) noexcept {
  if (memory != nullptr && memory == g_watched.load()) ++g_watched_releases;
  std::free(memory);
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* memory) noexcept {
  Release(memory);
}
void operator delete[](void* memory) noexcept {
  Release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  Release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  Release(memory);
}

namespace kvo::plugin_test {
namespace {

// Counts the releases of one block from now on.
void Watch(const void* block) {
  g_watched_releases = 0;
  g_watched = block;
}

TEST(CustomCommandList, DeleteDestroysTheEntryExtractDoesNot) {
  TkvoPluginCustomCmdList list;
  EXPECT_TRUE(list.OwnsObjects);
  auto* kept = new TkvoPluginCustomCmd{"A", "First", "", 0, 1};
  auto* gone = new TkvoPluginCustomCmd{"B", "Second", "", 0, 0};
  EXPECT_EQ(list.Add(kept), 0);
  EXPECT_EQ(list.Add(gone), 1);

  Watch(kept);
  EXPECT_EQ(list.Extract(kept), kept);
  EXPECT_EQ(g_watched_releases.load(), 0) << "extracted, not destroyed";
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(kept->Command, "A");
  EXPECT_EQ(list.Extract(kept), nullptr) << "no longer in the list";

  Watch(gone);
  list.Delete(0);
  EXPECT_EQ(g_watched_releases.load(), 1) << "deleted and destroyed";
  EXPECT_EQ(list.Count(), 0);

  Watch(kept);
  delete kept;
  EXPECT_EQ(g_watched_releases.load(), 1);
  Watch(nullptr);
}

TEST(CustomCommandList, ClearAndDestructionDestroyTheEntries) {
  auto* first = new TkvoPluginCustomCmd{"A", "", "", 0, 0};
  {
    TkvoPluginCustomCmdList list;
    list.Add(first);
    list.Add(TkvoPluginCustomCmd{"B", "", "", 0, 0});
    Watch(first);
    list.Clear();
    EXPECT_EQ(g_watched_releases.load(), 1);
    EXPECT_EQ(list.Count(), 0);
    auto* last = new TkvoPluginCustomCmd{"C", "", "", 0, 0};
    list.Add(last);
    Watch(last);
  }
  EXPECT_EQ(g_watched_releases.load(), 1) << "the list's destruction destroys its entries";
  Watch(nullptr);
}

TEST(CustomCommandList, WithoutOwnershipDeleteOnlyRemoves) {
  TkvoPluginCustomCmdList list;
  list.OwnsObjects = false;
  auto* entry = new TkvoPluginCustomCmd{"A", "", "", 0, 0};
  list.Add(entry);
  Watch(entry);
  list.Delete(0);
  EXPECT_EQ(g_watched_releases.load(), 0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(entry->Command, "A");
  delete entry;
  Watch(nullptr);
}

TEST(CustomCommandList, TextHasOneUnescapedLinePerEntry) {
  TkvoPluginCustomCmdList list;
  EXPECT_EQ(list.Text(), "");
  list.Add(TkvoPluginCustomCmd{"A", "First", "", 0, 1});
  list.Add(TkvoPluginCustomCmd{"B|x", "Line\r\nbreak", "Hint", 255, 7});
  EXPECT_EQ(list.Text(), "A|First||0|1\r\nB|x|Line\r\nbreak|Hint|255|7\r\n");
}

class CustomCommands : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    handle_ = NextHandle();
    instance_ = InstanceOf(handle_);
  }
  void AddTwo() {
    instance_->CustomCommands().Add(TkvoPluginCustomCmd{"A", "First", "", 0, 1});
    instance_->CustomCommands().Add(TkvoPluginCustomCmd{"B", "Second", "Shows B", 255, 2});
  }
  int32_t handle_ = 0;
  TkvoPlugin* instance_ = nullptr;
};

constexpr const char* kTwoCommands = "A|First||0|1\r\nB|Second|Shows B|255|2\r\n";

TEST_F(CustomCommands, ModuleThatIsNoMenuExtensionOffersNoneAndEmptiesTheLog) {
  AddTwo();
  instance_->AddLogMessage(1, "pending");
  char buffer[256];
  int32_t needed = 99;
  EXPECT_EQ(GetCustomCommands(handle_, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
  EXPECT_EQ(PendingLog(handle_), "");
}

TEST_F(CustomCommands, MenuExtensionHandsOverTheTextAndEmptiesTheLog) {
  instance_->ModuleType = TModuleTypes{mttFilter, mttMenuExt};
  AddTwo();
  instance_->AddLogMessage(1, "pending");
  const std::string expected = kTwoCommands;
  const auto length = static_cast<int32_t>(expected.size());
  std::string buffer(expected.size() + 2, '#');
  int32_t needed = 0;
  EXPECT_EQ(GetCustomCommands(handle_, buffer.data(), length, &needed), length);
  EXPECT_EQ(needed, length);
  EXPECT_EQ(buffer, expected + "##") << "no terminating zero";
  EXPECT_EQ(PendingLog(handle_), "");

  // The list stays; the host may fetch it again.
  needed = 0;
  EXPECT_EQ(GetCustomCommands(handle_, buffer.data(), length + 2, &needed), length);
  EXPECT_EQ(needed, length);
}

TEST_F(CustomCommands, TooSmallBufferTellsTheSizeAndLeavesTheLog) {
  instance_->ModuleType = TModuleTypes{mttMenuExt};
  AddTwo();
  instance_->AddLogMessage(1, "pending");
  const auto length = static_cast<int32_t>(std::string(kTwoCommands).size());
  std::string buffer(static_cast<size_t>(length), '#');
  int32_t needed = 0;
  EXPECT_EQ(GetCustomCommands(handle_, buffer.data(), length - 1, &needed), 0);
  EXPECT_EQ(needed, length);
  EXPECT_EQ(buffer, std::string(static_cast<size_t>(length), '#'));
  EXPECT_EQ(PendingLog(handle_), "pending||1");
}

TEST_F(CustomCommands, EmptyListGivesNothingAndLeavesTheLog) {
  instance_->ModuleType = TModuleTypes{mttMenuExt};
  instance_->AddLogMessage(1, "pending");
  char buffer[16];
  int32_t needed = 99;
  EXPECT_EQ(GetCustomCommands(handle_, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(needed, 0);
  EXPECT_EQ(PendingLog(handle_), "pending||1");
}

TEST_F(CustomCommands, KindTwoHundredFiftyFiveIsThreeDigits) {
  instance_->ModuleType = TModuleTypes{mttMenuExt};
  instance_->CustomCommands().Add(TkvoPluginCustomCmd{"K", "", "", 255, 255});
  char buffer[32];
  int32_t needed = 0;
  const int32_t copied = GetCustomCommands(handle_, buffer, sizeof buffer, &needed);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(copied > 0 ? copied : 0)), "K|||255|255\r\n");
}

TEST_F(CustomCommands, RunningOneReachesTheHandlerWithItsParameters) {
  TheProbe().custom_command = [](TkvoPlugin&, const std::string& command, kvo::TParamsList* parameters,
                                 int32_t& result) {
    EXPECT_EQ(result, -2) << "the result starts at -2";
    if (command != "B") return;
    parameters->Add("ANSWER", Variant::FromText("done"));
    result = 0;
  };
  HostList parameters;
  parameters.Int("ARGUMENT", 4);
  EXPECT_EQ(Execute(handle_, "B", parameters), 0);
  EXPECT_EQ(parameters.TextOf("ANSWER"), "done");
  const std::vector<Call> calls = TheProbe().CallsOf("OnExecuteCustomCommand");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "B");
  EXPECT_EQ(calls[0].parameters, parameters.impl());
  EXPECT_EQ(Execute(handle_, "C"), -2) << "left at the preset";
}

TEST_F(CustomCommands, WithoutHandlerTheCommandIsNotTaken) {
  instance_->OnExecuteCustomCommand = nullptr;
  EXPECT_EQ(Execute(handle_, "B"), -2);
  EXPECT_EQ(Execute(handle_, "load"), -2);
}

}  // namespace
}  // namespace kvo::plugin_test
