// Without a display (or a build without a toolkit) the options dialog shows nothing, changes nothing,
// says once why, and returns at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"
#include "support/deadband_ini.h"
#include "view/form_view.h"

namespace kvo {
namespace {

::TParamsList* Out(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(OptionsDialogWithoutDisplay, ShowsNothingChangesNothingAndSaysWhyOnce) {
#if !defined(_WIN32)
  ::unsetenv("QT_QPA_PLATFORM");
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
#endif
  std::string why;
  if (view::DisplayAvailable(&why)) GTEST_SKIP() << "this process has a display";
  EXPECT_FALSE(why.empty());

  RegisterDeadbandPlugin();
  std::ostringstream name;
  name << "kvo-nodisplay-" << std::chrono::steady_clock::now().time_since_epoch().count();
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / name.str();
  std::filesystem::create_directories(scratch);
#if !defined(_WIN32)
  ASSERT_EQ(::setenv("KVO_REGISTRY_DIR", (scratch / "registry").string().c_str(), 1), 0);
#endif
  const std::string ini = (scratch / "settings.ini").string();
  const std::string settings = testing::DeadbandIniText(1, {{"Temperature", 1, 2.5}});
  ASSERT_TRUE(testing::WriteTextFile(ini, settings));

  const int32_t h = 7001;
  TParamsList load;
  load.Add("COMMAND", Variant::FromText("LOAD"));
  load.Add("INI-FILE", Variant::FromText(ini));
  load.Add("RegistryPath", Variant::FromText("Software\\kvo-test-view\\none"));
  ASSERT_EQ(::ExecutePluginCommand(h, Out(&load)), 0);
  TkvoPlugin* instance = nullptr;
  TParamsList none;
  ASSERT_TRUE(GetPluginInstance(h, &none, &instance));
  auto* plugin = dynamic_cast<TaPlugin*>(instance);
  ASSERT_NE(plugin, nullptr);
  TfrmOption* settings_form = plugin->SettingsForm();

  bool shown = false;
  view::SetShownHook([&](void*) { shown = true; });
  ::testing::internal::CaptureStderr();
  ::ShowOptionsDialog(h, nullptr);
  ::ShowOptionsDialog(h, nullptr);
  const std::string said = ::testing::internal::GetCapturedStderr();
  view::SetShownHook({});

  EXPECT_FALSE(shown);
  EXPECT_EQ(Occurrences(said, "cannot be shown"), 1u) << said;
  EXPECT_EQ(ReadFile(ini), settings) << "nothing is stored, not even the window's place";
  EXPECT_EQ(plugin->SettingsForm(), settings_form);
  EXPECT_EQ(plugin->Filter().ItemCount(), 1u);

  TParamsList unload;
  unload.Add("COMMAND", Variant::FromText("UNLOAD"));
  EXPECT_EQ(::ExecutePluginCommand(h, Out(&unload)), 0);
#if !defined(_WIN32)
  ::unsetenv("KVO_REGISTRY_DIR");
#endif
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
}

}  // namespace
}  // namespace kvo
