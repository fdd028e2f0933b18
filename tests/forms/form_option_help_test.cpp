// Help from the options dialog: the dialog's context reaches the system viewer with the module's help
// file (on POSIX the viewer command of KVO_HELP_VIEWER, here a script that records its arguments).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "deadband/filter_main.h"
#include "runtime/application.h"

namespace kvo {
namespace {

class FormOptionHelp : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvo-form-help-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    Remember("KVO_REGISTRY_DIR", dir_ + "/registry");
    Remember("DISPLAY", ":97");
    const std::string script = dir_ + "/viewer";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << record() << ".part'\n/bin/mv '"
                          << record() << ".part' '" << record() << "'\n";
    chmod(script.c_str(), 0755);
    Remember("KVO_HELP_VIEWER", "'" + script + "' %f %c");
  }
  void TearDown() override {
    plugin_.reset();
    for (const auto& [name, old] : saved_) {
      if (old.empty()) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), old.c_str(), 1);
      }
    }
    std::filesystem::remove_all(dir_);
  }

  void Remember(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old != nullptr ? old : "");
    setenv(name.c_str(), value.c_str(), 1);
  }
  std::string record() const { return dir_ + "/args"; }

  // The recorded lines, waiting at most 10 s for them.
  std::vector<std::string> WaitForRecord() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(record()) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> lines;
    std::ifstream in(record());
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  std::string dir_;
  std::vector<std::pair<std::string, std::string>> saved_;
  std::unique_ptr<TaPlugin> plugin_{Create<TaPlugin>(nullptr)};
};

TEST_F(FormOptionHelp, TheDialogsContextOpensTheModulesHelpFile) {
  TfrmOption* form = Create<TfrmOption>(plugin_.get());
  ASSERT_EQ(form->HelpContext(), 80);
  EXPECT_TRUE(Application().HelpContext(form->HelpContext()));
  EXPECT_EQ(WaitForRecord(), (std::vector<std::string>{plugin_->ModulePath() + "deadband.chm", "80"}));
}

}  // namespace
}  // namespace kvo

#endif  // _WIN32
