// The application object: one per process, published texts safe across threads, the shutdown flag.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/application.h"
#include "runtime/properties.h"

namespace kvo {
namespace {

TEST(ApplicationObject, IsOneObjectForTheProcess) {
  TApplication& first = Application();
  TApplication& second = Application();
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(first.ClassName(), "TApplication");
  EXPECT_EQ(first.Owner(), nullptr);
}

TEST(ApplicationObject, PublishesTitleAndHelpFile) {
  TApplication app;
  SetPropValue(app, "title", Variant::FromText("Deadband"));
  SetStrProp(app, "HelpFile", "deadband.chm");
  EXPECT_EQ(app.Title(), "Deadband");
  EXPECT_EQ(GetStrProp(app, "TITLE"), "Deadband");
  EXPECT_EQ(app.HelpFile(), "deadband.chm");
}

TEST(ApplicationObject, TerminateSetsTheFlagForGood) {
  TApplication app;
  EXPECT_FALSE(app.Terminated());
  app.Terminate();
  EXPECT_TRUE(app.Terminated());
  app.Terminate();
  EXPECT_TRUE(app.Terminated());
}

TEST(ApplicationObject, TerminationIsSeenByAWaitingThread) {
  TApplication app;
  std::atomic<bool> waiting{false};
  std::thread waiter([&] {
    waiting = true;
    while (!app.Terminated())
      std::this_thread::yield();
  });
  while (!waiting)
    std::this_thread::yield();
  app.Terminate();
  waiter.join();
  EXPECT_TRUE(app.Terminated());
}

TEST(ApplicationObject, TitleReadWhileWrittenIsAlwaysAWholeValue) {
  TApplication app;
  const std::string a(64, 'a');
  const std::string b(64, 'b');
  app.SetTitle(a);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i)
      app.SetTitle(i % 2 == 0 ? b : a);
    stop = true;
  });
  int torn = 0;
  while (!stop) {
    const std::string title = app.Title();
    if (title != a && title != b) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

TEST(ApplicationObject, HelpRequestsReachTheInstalledHandlerAndTheOldOneComesBack) {
  TApplication app;
  EXPECT_FALSE(app.HelpContext(80)) << "no handler: nothing answers";
  std::vector<std::pair<uint16_t, int32_t>> first_seen;
  std::vector<std::pair<uint16_t, int32_t>> second_seen;
  EXPECT_FALSE(app.SetHelpHandler([&](uint16_t command, int32_t data, bool&) {
    first_seen.emplace_back(command, data);
    return true;
  }));
  TApplication::THelpEvent previous =
      app.SetHelpHandler([&](uint16_t command, int32_t data, bool& call_help) {
        second_seen.emplace_back(command, data);
        call_help = true;
        return command != 11;
      });
  EXPECT_TRUE(app.HelpContext(80));
  EXPECT_FALSE(app.HelpCommand(11, 0));
  app.SetHelpHandler(std::move(previous));
  EXPECT_TRUE(app.HelpCommand(8, 5));
  const std::vector<std::pair<uint16_t, int32_t>> expected_second = {{1, 80}, {11, 0}};
  const std::vector<std::pair<uint16_t, int32_t>> expected_first = {{8, 5}};
  EXPECT_EQ(second_seen, expected_second);
  EXPECT_EQ(first_seen, expected_first);
}

TEST(ApplicationObject, OwnsAndDestroysTopLevelComponents) {
  std::vector<std::string> destroyed;
  class TForm : public TComponent {
   public:
    TForm(TComponent* owner, std::vector<std::string>& log) : TComponent(owner), log_(log) {}
    ~TForm() override { log_.push_back(Name()); }

   private:
    std::vector<std::string>& log_;
  };
  {
    TApplication app;
    (new TForm(&app, destroyed))->SetName("frmOption");
    (new TForm(&app, destroyed))->SetName("frmAbout");
    EXPECT_NE(app.FindComponent("FRMOPTION"), nullptr);
  }
  EXPECT_EQ(destroyed, (std::vector<std::string>{"frmAbout", "frmOption"}));
}

}  // namespace
}  // namespace kvo
