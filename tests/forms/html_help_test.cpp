// The help component: it takes over the application's help requests while it exists and shows them in
// a viewer (here a recording fake).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forms/nonvisual.h"
#include "platform/help.h"
#include "platform/module.h"
#include "runtime/application.h"

namespace kvo {
namespace {

class FakeViewer final : public platform::HelpViewer {
 public:
  struct Call {
    std::string kind;  // "context" or "contents"
    platform::HelpWindow owner;
    std::string path;
    uint32_t context;
  };

  bool available = true;
  platform::HelpWindow result = 0x5150;
  std::vector<Call> calls;

  bool Available() override { return available; }
  platform::HelpWindow ShowContext(platform::HelpWindow owner, const platform::HelpTarget& target,
                                   uint32_t context) override {
    calls.push_back({"context", owner, platform::HelpPathText(target), context});
    return result;
  }
  platform::HelpWindow ShowContents(platform::HelpWindow owner, const platform::HelpTarget& target) override {
    calls.push_back({"contents", owner, platform::HelpPathText(target), 0});
    return result;
  }
};

// Each test starts with a recording handler installed and leaves the application as it found it.
class HtmlHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_help_file_ = Application().HelpFile();
    saved_handler_ = Application().SetHelpHandler([this](uint16_t command, int32_t data, bool&) {
      earlier_calls_.emplace_back(command, data);
      return false;
    });
  }
  void TearDown() override {
    Application().SetHelpHandler(std::move(saved_handler_));
    Application().SetHelpFile(saved_help_file_);
    THtmlHelp::SetOwnerWindowSource(nullptr);
  }

  std::unique_ptr<THtmlHelp> MakeHelp(const std::string& chm_file) {
    auto help = std::make_unique<THtmlHelp>(nullptr);
    help->SetViewer(viewer_);
    help->SetDefaultFile(false);
    help->SetChmFile(chm_file);
    return help;
  }

  FakeViewer viewer_;
  std::vector<std::pair<uint16_t, int32_t>> earlier_calls_;

 private:
  std::string saved_help_file_;
  TApplication::THelpEvent saved_handler_;
};

TEST_F(HtmlHelpTest, TakesOverTheApplicationsHelpWhileItExists) {
  auto help = MakeHelp("deadband.chm");
  EXPECT_TRUE(Application().HelpContext(80));
  ASSERT_EQ(viewer_.calls.size(), 1u);
  EXPECT_EQ(viewer_.calls[0].kind, "context");
  EXPECT_EQ(viewer_.calls[0].path, "deadband.chm");
  EXPECT_EQ(viewer_.calls[0].context, 80u);
  EXPECT_TRUE(earlier_calls_.empty());

  help.reset();
  EXPECT_FALSE(Application().HelpContext(81));
  EXPECT_EQ(viewer_.calls.size(), 1u);
  ASSERT_EQ(earlier_calls_.size(), 1u);
  EXPECT_EQ(earlier_calls_[0], std::make_pair(uint16_t{1}, int32_t{81}));
}

TEST_F(HtmlHelpTest, NestedComponentsRestoreInReverseOrder) {
  auto outer = MakeHelp("outer.chm");
  auto inner = MakeHelp("inner.chm");
  Application().HelpContext(1);
  inner.reset();
  Application().HelpContext(2);
  outer.reset();
  Application().HelpContext(3);

  ASSERT_EQ(viewer_.calls.size(), 2u);
  EXPECT_EQ(viewer_.calls[0].path, "inner.chm");
  EXPECT_EQ(viewer_.calls[1].path, "outer.chm");
  ASSERT_EQ(earlier_calls_.size(), 1u);
  EXPECT_EQ(earlier_calls_[0].second, 3);
}

TEST_F(HtmlHelpTest, DestroyingAnEarlierComponentKeepsTheLaterOneInstalled) {
  auto first = MakeHelp("first.chm");
  auto second = MakeHelp("second.chm");
  first.reset();
  Application().HelpContext(5);
  ASSERT_EQ(viewer_.calls.size(), 1u);
  EXPECT_EQ(viewer_.calls[0].path, "second.chm");

  // The second one's remembered handler was the first's, which now passes requests on.
  second.reset();
  Application().HelpContext(6);
  EXPECT_EQ(viewer_.calls.size(), 1u);
  ASSERT_EQ(earlier_calls_.size(), 1u);
  EXPECT_EQ(earlier_calls_[0].second, 6);
}

TEST_F(HtmlHelpTest, ComponentsComingAndGoingInAnyOrderLeaveTheOriginalHandler) {
  // A sliding window: each component outlives the next one's creation, as settings forms and dialogs
  // of several instances do.
  std::vector<std::unique_ptr<THtmlHelp>> alive;
  for (int i = 0; i < 200; ++i) {
    alive.push_back(MakeHelp("h" + std::to_string(i) + ".chm"));
    if (alive.size() > 3) alive.erase(alive.begin() + (i % 3));
  }
  Application().HelpContext(1);
  ASSERT_EQ(viewer_.calls.size(), 1u);
  EXPECT_EQ(viewer_.calls[0].path, alive.back()->ChmFile());
  alive.clear();
  EXPECT_FALSE(Application().HelpContext(2));
  EXPECT_EQ(viewer_.calls.size(), 1u);
  ASSERT_EQ(earlier_calls_.size(), 1u);
  EXPECT_EQ(earlier_calls_[0].second, 2);
}

TEST_F(HtmlHelpTest, DefaultFilePutsTheProgramsFolderBeforeABareName) {
  const std::string program = platform::ProgramPath();
  ASSERT_FALSE(program.empty());
  const std::string folder = program.substr(0, program.find_last_of("/\\") + 1);

  Application().SetHelpFile("deadband.chm");
  THtmlHelp help(nullptr);
  help.SetViewer(viewer_);
  ASSERT_TRUE(help.DefaultFile());
  help.Loaded();
  EXPECT_EQ(help.ChmFile(), folder + "deadband.chm");
}

TEST_F(HtmlHelpTest, DefaultFileKeepsAnApplicationHelpFileWithAFolder) {
  const std::string file = "help/deadband.chm";
  Application().SetHelpFile(file);
  THtmlHelp help(nullptr);
  help.Loaded();
  EXPECT_EQ(help.ChmFile(), file);
}

TEST_F(HtmlHelpTest, WithoutDefaultFileTheChmFileStays) {
  Application().SetHelpFile("other.chm");
  auto help = MakeHelp("mine.chm");
  help->Loaded();
  EXPECT_EQ(help->ChmFile(), "mine.chm");
}

TEST_F(HtmlHelpTest, HelpPathNamesTopicAndWindowDefinition) {
  struct Case {
    const char* window;
    const char* topic;
    const char* path;
  };
  const Case cases[] = {
      {"", "", "d.chm"},
      {"main", "", "d.chm>main"},
      {"", "options.html", "d.chm::options.html"},
      {"main", "options.html", "d.chm::options.html>main"},
  };
  for (const Case& c : cases) {
    auto help = MakeHelp("d.chm");
    help->SetWinDef(c.window);
    EXPECT_EQ(help->HelpPath(c.topic), c.path) << c.window << " " << c.topic;
  }
}

TEST_F(HtmlHelpTest, ContextRequestWithAWindowDefinitionNamesNoTopic) {
  auto help = MakeHelp("d.chm");
  help->SetWinDef("main");
  EXPECT_TRUE(Application().HelpContext(80));
  ASSERT_EQ(viewer_.calls.size(), 1u);
  EXPECT_EQ(viewer_.calls[0].path, "d.chm>main");
  EXPECT_EQ(viewer_.calls[0].path.find("::"), std::string::npos);
}

TEST_F(HtmlHelpTest, CommandsAnswerAndShowAsTheirKindSays) {
  struct Case {
    uint16_t command;
    bool available;
    bool answer;
    const char* shown;  // "" nothing
  };
  const Case cases[] = {
      {1, true, true, "context"}, {8, true, true, "context"}, {11, true, true, "contents"},
      {11, false, false, ""},     {1, false, true, ""},       {8, false, true, ""},
      {0, true, true, ""},        {2, true, true, ""},        {12, true, true, ""},
      {15, true, true, ""},       {0xFFFF, true, true, ""},   {3, false, true, ""},
  };
  for (const Case& c : cases) {
    viewer_.calls.clear();
    viewer_.available = c.available;
    auto help = MakeHelp("d.chm");
    bool call_help = true;
    EXPECT_EQ(help->HelpHandler(c.command, 42, call_help), c.answer) << c.command;
    EXPECT_FALSE(call_help) << c.command;
    if (*c.shown == '\0') {
      EXPECT_TRUE(viewer_.calls.empty()) << c.command;
    } else {
      ASSERT_EQ(viewer_.calls.size(), 1u) << c.command;
      EXPECT_EQ(viewer_.calls[0].kind, c.shown);
      EXPECT_EQ(viewer_.calls[0].path, "d.chm");
      if (viewer_.calls[0].kind == "context") {
        EXPECT_EQ(viewer_.calls[0].context, 42u);
      }
    }
  }
}

TEST_F(HtmlHelpTest, ShowContextReturnsTheViewersWindow) {
  auto help = MakeHelp("d.chm");
  viewer_.result = 0xBEEF;
  EXPECT_EQ(help->ShowContext(80), 0xBEEFu);
  viewer_.result = 0;
  EXPECT_EQ(help->ShowContext(80), 0u);
  viewer_.available = false;
  viewer_.result = 0xBEEF;
  EXPECT_EQ(help->ShowContext(80), 0u);
  EXPECT_EQ(viewer_.calls.size(), 2u);
}

TEST_F(HtmlHelpTest, TheOwnerWindowComesFromTheViewLayer) {
  auto help = MakeHelp("d.chm");
  help->ShowContext(1);
  THtmlHelp::SetOwnerWindowSource([] { return platform::HelpWindow{0x4242}; });
  help->ShowContext(2);
  bool call_help = false;
  help->HelpHandler(11, 0, call_help);
  ASSERT_EQ(viewer_.calls.size(), 3u);
  EXPECT_EQ(viewer_.calls[0].owner, 0u);
  EXPECT_EQ(viewer_.calls[1].owner, 0x4242u);
  EXPECT_EQ(viewer_.calls[2].owner, 0x4242u);
}

}  // namespace
}  // namespace kvo
