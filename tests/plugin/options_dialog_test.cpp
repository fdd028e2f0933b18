// ShowOptionsDialog: what the handler receives, the INI file and language it applies first, and the
// reload of every other instance that shares the settings storage when the user accepted.
#include <string>

#include "plugin_test_support.h"

namespace kvo::plugin_test {
namespace {

using OptionsDialog = PluginTest;

int32_t LoadedAt(const char* registry_path, const char* ini_file = "own.ini") {
  const int32_t handle = NextHandle();
  HostList load;
  load.Text("RegistryPath", registry_path).Text("INI-FILE", ini_file);
  EXPECT_EQ(Execute(handle, "LOAD", load), 0);
  return handle;
}

TEST_F(OptionsDialog, AcceptedSettingsReloadTheOtherInstancesOfTheSamePath) {
  const int32_t caller = LoadedAt("Software\\Shared");
  const int32_t same = LoadedAt("Software\\Shared");
  const int32_t other = LoadedAt("Software\\Other");
  const int32_t same_too = LoadedAt("Software\\Shared");
  const int32_t without_handler = LoadedAt("Software\\Shared");
  InstanceOf(without_handler)->OnLoadSettingsNow = nullptr;
  InstanceOf(caller)->AddLogMessage(1, "pending");
  TheProbe().Reset();
  TheProbe().options_dialog = [](TkvoPlugin&, bool& success) { success = true; };

  ShowOptionsDialog(caller, nullptr);
  ASSERT_EQ(TheProbe().CountOf("OnShowOptionsDialog"), 1);
  std::vector<int32_t> reloaded;
  for (const Call& call : TheProbe().CallsOf("OnLoadSettingsNow"))
    reloaded.push_back(call.handle);
  EXPECT_EQ(reloaded, (std::vector<int32_t>{same, same_too})) << "in creation order, not the caller";
  EXPECT_NE(other, same);
  EXPECT_EQ(PendingLog(caller), "") << "the log is discarded when the user accepted";
}

TEST_F(OptionsDialog, CancelledDialogReloadsNothingAndKeepsTheLog) {
  const int32_t caller = LoadedAt("Software\\Shared");
  LoadedAt("Software\\Shared");
  InstanceOf(caller)->AddLogMessage(1, "pending");
  TheProbe().Reset();
  ShowOptionsDialog(caller, nullptr);
  EXPECT_EQ(TheProbe().CountOf("OnShowOptionsDialog"), 1);
  EXPECT_EQ(TheProbe().CountOf("OnLoadSettingsNow"), 0);
  EXPECT_EQ(PendingLog(caller), "pending||1");
}

TEST_F(OptionsDialog, ReloadHandlerMayCallTheExportsOnTheSameThread) {
  const int32_t caller = LoadedAt("Software\\Shared");
  const int32_t same = LoadedAt("Software\\Shared");
  std::string seen;
  InstanceOf(same)->OnLoadSettingsNow = [&](TkvoPlugin& sender) {
    seen = GetModuleDescription(sender.Handle());
    seen += "/" + std::to_string(GetModuleType(caller));
  };
  TheProbe().options_dialog = [](TkvoPlugin&, bool& success) { success = true; };
  ShowOptionsDialog(caller, nullptr);
  EXPECT_EQ(seen, std::string(kTestDescription) + "/32");
}

TEST_F(OptionsDialog, NullParametersGiveAnEmptyCallTypeAndKeepTheIniFile) {
  const int32_t handle = LoadedAt("Software\\Shared", "own.ini");
  TheProbe().Reset();
  ShowOptionsDialog(handle, nullptr);
  const std::vector<Call> calls = TheProbe().CallsOf("OnShowOptionsDialog");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].types, 0u);
  EXPECT_EQ(calls[0].parameters, nullptr);
  EXPECT_TRUE(calls[0].in_options_dialog);
  EXPECT_EQ(calls[0].ini_file, "own.ini");
  EXPECT_EQ(InstanceOf(handle)->INIFile(), "own.ini");
  EXPECT_FALSE(InstanceOf(handle)->InOptionsDialog());
}

TEST_F(OptionsDialog, ParametersGiveTheCallTypeTheIniFileAndTheLanguage) {
  const int32_t handle = LoadedAt("Software\\Shared", "own.ini");
  TheProbe().Reset();
  HostList parameters;
  parameters.Int("TYPE", 36 + 256).Text("INI-FILE", "dialog.ini").Text("LANGUAGE", "DE");
  ShowOptionsDialog(handle, parameters.get());
  EXPECT_EQ(TheProbe().EventNames(), (std::vector<std::string>{"OnChangeLanguage", "OnShowOptionsDialog"}));
  const std::vector<Call> calls = TheProbe().CallsOf("OnShowOptionsDialog");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].types, 36u);
  EXPECT_EQ(calls[0].parameters, parameters.impl());
  EXPECT_EQ(calls[0].ini_file, "dialog.ini");
  EXPECT_EQ(calls[0].language, "DE");
  EXPECT_EQ(InstanceOf(handle)->INIFile(), "dialog.ini") << "stored, not restored";
}

TEST_F(OptionsDialog, ParametersWithoutIniFileDirectTheSettingsToTheRegistry) {
  const int32_t handle = LoadedAt("Software\\Shared", "own.ini");
  TheProbe().Reset();
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_FILTER);
  ShowOptionsDialog(handle, parameters.get());
  const std::vector<Call> calls = TheProbe().CallsOf("OnShowOptionsDialog");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ini_file, "");
  EXPECT_EQ(InstanceOf(handle)->INIFile(), "");
}

TEST_F(OptionsDialog, TypeThatIsNoNumberEndsTheCallWithoutTheDialogOrAReload) {
  const int32_t handle = LoadedAt("Software\\Shared");
  LoadedAt("Software\\Shared");
  TheProbe().Reset();
  TheProbe().options_dialog = [](TkvoPlugin&, bool& success) { success = true; };
  HostList parameters;
  parameters.Text("TYPE", "filter");
  ShowOptionsDialog(handle, parameters.get());
  EXPECT_EQ(TheProbe().CountOf("OnShowOptionsDialog"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnLoadSettingsNow"), 0);
  EXPECT_FALSE(InstanceOf(handle)->InOptionsDialog());
}

TEST_F(OptionsDialog, WithoutHandlerNothingHappens) {
  const int32_t handle = LoadedAt("Software\\Shared", "own.ini");
  InstanceOf(handle)->OnShowOptionsDialog = nullptr;
  TheProbe().Reset();
  HostList parameters;
  parameters.Text("INI-FILE", "dialog.ini").Text("LANGUAGE", "DE");
  ShowOptionsDialog(handle, parameters.get());
  EXPECT_EQ(InstanceOf(handle)->INIFile(), "own.ini");
  EXPECT_TRUE(TheProbe().EventNames().empty());
}

TEST_F(OptionsDialog, RaisingHandlerIsSwallowed) {
  const int32_t caller = LoadedAt("Software\\Shared");
  LoadedAt("Software\\Shared");
  TheProbe().Reset();
  TheProbe().options_dialog = [](TkvoPlugin&, bool& success) { success = true; };
  TheProbe().raise_in = {"OnShowOptionsDialog", "OnLoadSettingsNow"};
  ShowOptionsDialog(caller, nullptr);
  EXPECT_EQ(TheProbe().CountOf("OnShowOptionsDialog"), 1);
  EXPECT_EQ(TheProbe().CountOf("OnLoadSettingsNow"), 1) << "success was set before the handler raised";
  EXPECT_FALSE(InstanceOf(caller)->InOptionsDialog());
  EXPECT_EQ(Execute(caller, "EVENTS-SUPPORT"), 0) << "the instance is still usable";
}

TEST_F(OptionsDialog, NewHandleMakesATemporaryInstance) {
  const int32_t handle = NextHandle();
  ShowOptionsDialog(handle, nullptr);
  EXPECT_EQ(InstanceCount(), 1);
  EXPECT_TRUE(InstanceOf(handle)->TemporaryLoad());
  EXPECT_EQ(TheProbe().CountOf("OnShowOptionsDialog"), 1);
}

}  // namespace
}  // namespace kvo::plugin_test
