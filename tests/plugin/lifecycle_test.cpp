// "LOAD" and "UNLOAD": nesting, the host parameters, the host module and its procedures, the save at
// the last "UNLOAD" when the INI file changed; and the language taken from any command.
#include <string>

#include "platform/module.h"
#include "plugin_test_support.h"

#if !defined(_WIN32)
// The host procedure a program offers its modules: found through "HANDLE", which stands for the program.
extern "C" __attribute__((visibility("default"))) int fSendData(void) {
  return 42;
}
#endif

namespace kvo::plugin_test {
namespace {

std::string HostProcsPath() {
  const std::string program = platform::OwnModulePath();  // the framework is linked into this program
  return program.substr(0, program.find_last_of("/\\") + 1) + KVO_HOST_PROCS_FILE_NAME;
}

// The stand-in host module, loaded for the test's duration.
class HostModule {
 public:
  HostModule() : handle_(platform::LoadModule(HostProcsPath().c_str(), &error_)) {}
  HostModule(const HostModule&) = delete;
  HostModule& operator=(const HostModule&) = delete;
  ~HostModule() { platform::UnloadModule(handle_); }
  platform::ModuleHandle handle() const { return handle_; }
  const std::string& error() const { return error_; }

 private:
  std::string error_;
  platform::ModuleHandle handle_;
};

using LoadUnload = PluginTest;

TEST_F(LoadUnload, SecondLoadChangesNothingAndOnlyTheLastUnloadWorks) {
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  HostList first;
  first.Int("ModuleIndex", 1).Text("RegistryPath", "Software\\A").Text("INI-FILE", "a.ini");
  ASSERT_EQ(Execute(handle, "LOAD", first), 0);
  TRowsParamsList* rows = instance->ResultRows();
  ASSERT_NE(rows, nullptr);
  instance->AddLogMessage(1, "kept");

  HostList second;
  second.Int("ModuleIndex", 2).Text("RegistryPath", "Software\\B").Text("INI-FILE", "b.ini");
  EXPECT_EQ(Execute(handle, "LOAD", second), 0);
  EXPECT_EQ(instance->LoadCount(), 2);
  EXPECT_EQ(TheProbe().CountOf("OnLoad"), 1);
  EXPECT_EQ(instance->ModuleIndex(), 1);
  EXPECT_EQ(instance->RegistryPath(), "Software\\A");
  EXPECT_EQ(instance->INIFile(), "a.ini");
  EXPECT_EQ(instance->ResultRows(), rows);
  EXPECT_EQ(PendingLog(handle), "kept||1") << "only the first LOAD discards the log";

  HostList inner_unload;
  inner_unload.Text("INI-FILE", "c.ini");
  EXPECT_EQ(Execute(handle, "UNLOAD", inner_unload), 0);
  EXPECT_EQ(instance->LoadCount(), 1);
  EXPECT_EQ(TheProbe().CountOf("OnUnload"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnSaveSettingsNow"), 0);
  EXPECT_FALSE(instance->Unloaded());
  EXPECT_EQ(instance->ResultRows(), rows);
  EXPECT_EQ(instance->INIFile(), "a.ini");
  EXPECT_EQ(PendingLog(handle), "kept||1");

  HostList last_unload;
  last_unload.Text("INI-FILE", "a.ini");
  EXPECT_EQ(Execute(handle, "UNLOAD", last_unload), 0);
  EXPECT_EQ(instance->LoadCount(), 0);
  EXPECT_EQ(TheProbe().CountOf("OnUnload"), 1);
  EXPECT_EQ(TheProbe().CountOf("OnSaveSettingsNow"), 0);
  EXPECT_TRUE(instance->Unloaded());
  EXPECT_EQ(instance->ResultRows(), nullptr);
  EXPECT_EQ(instance->EventRows(), nullptr);
  EXPECT_EQ(PendingLog(handle), "");
}

// A first "LOAD" that fails leaves the instance as it was, so the host's retry loads it.
TEST_F(LoadUnload, FailedFirstLoadLeavesTheInstanceUnloadedSoTheRetryLoads) {
  struct Case {
    const char* what;
    bool index_is_text;  // "ModuleIndex" that is not a number
    bool on_load_raises;
  };
  for (const Case& c : {Case{"ModuleIndex not a number", true, false}, Case{"OnLoad raises", false, true}}) {
    SCOPED_TRACE(c.what);
    const int32_t handle = NextHandle();
    TkvoPlugin* instance = InstanceOf(handle);
    HostList bad;
    if (c.index_is_text) {
      bad.Text("ModuleIndex", "seven");
    } else {
      bad.Int("ModuleIndex", 3);
    }
    bad.Text("RegistryPath", "Software\\Bad").Text("INI-FILE", "bad.ini");
    if (c.on_load_raises) TheProbe().raise_in.insert("OnLoad");
    EXPECT_EQ(Execute(handle, "LOAD", bad), -3);
    TheProbe().raise_in.clear();
    EXPECT_EQ(instance->LoadCount(), 0);
    EXPECT_EQ(instance->ModuleIndex(), 0);
    EXPECT_EQ(instance->RegistryPath(), "");
    EXPECT_EQ(instance->INIFile(), "");

    HostList good;
    good.Int("ModuleIndex", 2).Text("RegistryPath", "Software\\Good");
    EXPECT_EQ(Execute(handle, "LOAD", good), 0);
    EXPECT_EQ(instance->LoadCount(), 1);
    EXPECT_EQ(instance->ModuleIndex(), 2);
    EXPECT_EQ(instance->RegistryPath(), "Software\\Good");
    EXPECT_EQ(TheProbe().CountOf("OnLoad"), c.on_load_raises ? 2 : 1) << "the retry did the load's work";
    HostList parameters;
    parameters.Int("TYPE", 32);
    void* data = nullptr;
    ::TParamsList* rows = nullptr;
    EXPECT_EQ(ProcessData(handle, 1, parameters.get(), &data, &rows), 0) << "data calls work after the retry";
    TheProbe().Reset();
  }
}

TEST_F(LoadUnload, UnloadOnAFreshInstanceChangesNothing) {
  const int32_t handle = NextHandle();
  HostList unload;
  unload.Text("INI-FILE", "other.ini");
  EXPECT_EQ(Execute(handle, "UNLOAD", unload), 0);
  TkvoPlugin* instance = InstanceOf(handle);
  EXPECT_EQ(instance->LoadCount(), 0);
  EXPECT_FALSE(instance->Unloaded());
  EXPECT_EQ(instance->INIFile(), "");
  EXPECT_TRUE(TheProbe().EventNames().empty());

  // The count did not go below 0: one "LOAD" loads, one "UNLOAD" unloads.
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  EXPECT_EQ(instance->LoadCount(), 1);
  HostList parameters;
  parameters.Int("TYPE", 32);
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  EXPECT_EQ(ProcessData(handle, 1, parameters.get(), &data, &rows), 0) << "the instance is not unloaded";
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 1);
  ASSERT_EQ(Execute(handle, "UNLOAD"), 0);
  EXPECT_TRUE(instance->Unloaded());
  EXPECT_EQ(TheProbe().CountOf("OnUnload"), 1);
}

struct IniCase {
  const char* name;
  const char* load_ini;    // null: no "INI-FILE" at "LOAD"
  const char* unload_ini;  // null: no "INI-FILE" at "UNLOAD"
  bool saves;
  // Shown in the test list by its name.
  friend void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }
};

class LastUnloadIniFile : public PluginTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(LastUnloadIniFile, SavesOnceAfterTheIniFileTookTheNewValue) {
  const IniCase& c = GetParam();
  const int32_t handle = NextHandle();
  HostList load;
  if (c.load_ini) load.Text("INI-FILE", c.load_ini);
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  HostList unload;
  if (c.unload_ini) unload.Text("INI-FILE", c.unload_ini);
  ASSERT_EQ(Execute(handle, "UNLOAD", unload), 0);

  const std::string expected = c.unload_ini ? c.unload_ini : "";
  const std::vector<Call> saves = TheProbe().CallsOf("OnSaveSettingsNow");
  if (c.saves) {
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].ini_file, expected);
    EXPECT_EQ(TheProbe().EventNames(), (std::vector<std::string>{"OnLoad", "OnSaveSettingsNow", "OnUnload"}));
    EXPECT_EQ(InstanceOf(handle)->INIFile(), expected);
  } else {
    EXPECT_TRUE(saves.empty());
    EXPECT_EQ(TheProbe().EventNames(), (std::vector<std::string>{"OnLoad", "OnUnload"}));
  }
}

INSTANTIATE_TEST_SUITE_P(Ini, LastUnloadIniFile,
                         ::testing::Values(IniCase{"SameFile", "a.ini", "a.ini", false},
                                           IniCase{"OtherFile", "a.ini", "b.ini", true},
                                           IniCase{"NoneAfterAFile", "a.ini", nullptr, true},
                                           IniCase{"NoneAfterNone", nullptr, nullptr, false},
                                           IniCase{"FileAfterNone", nullptr, "b.ini", true},
                                           IniCase{"OtherLetterCase", "a.ini", "A.INI", true}),
                         CaseName());

TEST_F(LoadUnload, UnloadSwallowsTheExceptionsOfItsEvents) {
  const int32_t handle = NextHandle();
  HostList load;
  load.Text("INI-FILE", "a.ini");
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  InstanceOf(handle)->AddLogMessage(1, "pending");
  TheProbe().raise_in = {"OnSaveSettingsNow", "OnUnload"};
  HostList unload;
  unload.Text("INI-FILE", "b.ini");
  EXPECT_EQ(Execute(handle, "UNLOAD", unload), 0);
  EXPECT_EQ(TheProbe().CountOf("OnSaveSettingsNow"), 1);
  EXPECT_EQ(TheProbe().CountOf("OnUnload"), 1);
  TkvoPlugin* instance = InstanceOf(handle);
  EXPECT_TRUE(instance->Unloaded());
  EXPECT_EQ(instance->ResultRows(), nullptr);
  EXPECT_EQ(instance->EventRows(), nullptr);
  EXPECT_EQ(PendingLog(handle), "");
}

TEST_F(LoadUnload, LoadWhoseEventRaisesAnswersMinusThree) {
  const int32_t handle = NextHandle();
  TheProbe().raise_in = {"OnLoad"};
  EXPECT_EQ(Execute(handle, "LOAD"), -3);
  EXPECT_EQ(TheProbe().CountOf("OnLoad"), 1);
  EXPECT_EQ(InstanceOf(handle)->LoadCount(), 0) << "a failed first LOAD leaves the instance unloaded";
}

TEST_F(LoadUnload, FirstLoadTakesTheHostParameters) {
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  instance->AddLogMessage(1, "from before");
  HostList load;
  load.Int("moduleindex", 7)
      .Text("RegistryPath", "Software\\Test\\Place")
      .Text("INISectionPrefix", "Place7")
      .Text("INI-FILE", "settings.ini")
      .Text("ApplicationName", "no-such-module-here.bin");
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  EXPECT_EQ(instance->ModuleIndex(), 7);
  EXPECT_EQ(instance->RegistryPath(), "Software\\Test\\Place");
  EXPECT_EQ(instance->INISectionPrefix(), "Place7");
  EXPECT_EQ(instance->INIFile(), "settings.ini");
  EXPECT_EQ(instance->ApplicationName(), "no-such-module-here.bin");
  EXPECT_EQ(instance->HostModule(), 0) << "no module of that name is loaded";
  EXPECT_EQ(instance->SendData(), nullptr);
  EXPECT_EQ(instance->SendString(), nullptr);
  EXPECT_EQ(instance->SendByte(), nullptr);
  EXPECT_FALSE(instance->InOptionsDialog());
  EXPECT_EQ(PendingLog(handle), "") << "the first LOAD discards the pending log";
  ASSERT_NE(instance->ResultRows(), nullptr);
  ASSERT_NE(instance->EventRows(), nullptr);
  EXPECT_EQ(instance->ResultRows()->Count(), 0);
  EXPECT_EQ(instance->EventRows()->Count(), 0);
  const std::vector<Call> loads = TheProbe().CallsOf("OnLoad");
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].parameters, load.impl());
  EXPECT_EQ(loads[0].ini_file, "settings.ini") << "the INI file is taken before the event";
}

TEST_F(LoadUnload, TextsBeyondAsciiArriveUnchanged) {
  const int32_t handle = NextHandle();
  const std::string path = "Software\\M\xC3\xBCller";  // "Mueller" with u-umlaut, as the host's 8-bit text
  HostList load;
  load.Text("RegistryPath", path).Text("INI-FILE", "d\xC3\xA9j\xC3\xA0.ini");
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  EXPECT_EQ(InstanceOf(handle)->RegistryPath(), path);
  EXPECT_EQ(InstanceOf(handle)->INIFile(), "d\xC3\xA9j\xC3\xA0.ini");
}

TEST_F(LoadUnload, LoadOfANewSeriesTakesTheParametersAgain) {
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  HostList load;
  load.Int("ModuleIndex", 3).Text("RegistryPath", "Software\\Old").Text("INI-FILE", "old.ini");
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  HostList unload;
  unload.Text("INI-FILE", "old.ini");
  ASSERT_EQ(Execute(handle, "UNLOAD", unload), 0);
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  EXPECT_EQ(instance->ModuleIndex(), 0);
  EXPECT_EQ(instance->RegistryPath(), "");
  EXPECT_EQ(instance->INIFile(), "");
  EXPECT_EQ(TheProbe().CountOf("OnLoad"), 2);
}

TEST_F(LoadUnload, LastUnloadForgetsTheHostHandlesButKeepsTheProcedures) {
  HostModule host;
  ASSERT_NE(host.handle(), nullptr) << host.error();
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  HostList load;
  load.Text("ApplicationName", KVO_HOST_PROCS_FILE_NAME).Int("MessagesProcessorHandle", 987654);
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  ASSERT_NE(instance->HostModule(), 0);
  EXPECT_EQ(instance->MessagesProcessorHandle(), 987654);
  void* send_data = instance->SendData();
  ASSERT_NE(send_data, nullptr);
  ASSERT_EQ(Execute(handle, "UNLOAD"), 0);
  EXPECT_EQ(instance->HostModule(), 0);
  EXPECT_EQ(instance->MessagesProcessorHandle(), 0);
  EXPECT_EQ(instance->SendData(), send_data);
}

TEST_F(LoadUnload, ApplicationNameFindsTheHostModuleAndItsProcedures) {
  HostModule host;
  ASSERT_NE(host.handle(), nullptr) << host.error();
  const int32_t handle = NextHandle();
  HostList load;
  load.Text("ApplicationName", KVO_HOST_PROCS_FILE_NAME);
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  TkvoPlugin* instance = InstanceOf(handle);
  EXPECT_EQ(instance->HostModule(), reinterpret_cast<intptr_t>(host.handle()));
  EXPECT_NE(instance->SendData(), nullptr);
  EXPECT_EQ(instance->SendData(), platform::ProcAddress(host.handle(), "fSendData"));
  EXPECT_NE(instance->SendString(), nullptr);
  EXPECT_EQ(instance->SendString(), platform::ProcAddress(host.handle(), "fSendString"));
  EXPECT_EQ(instance->SendByte(), nullptr) << "the host module has no fSendByte";
}

TEST_F(LoadUnload, HandleNamesTheHostModule) {
#if defined(_WIN32)
  HostModule host;
  ASSERT_NE(host.handle(), nullptr) << host.error();
  const auto value = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));
  void* const expected_send_data = platform::ProcAddress(host.handle(), "fSendData");
  void* const expected_send_string = platform::ProcAddress(host.handle(), "fSendString");
  ASSERT_NE(expected_send_string, nullptr);
#else
  // On POSIX any non-zero value stands for the program, which exports fSendData only.
  const int32_t value = 1;
  void* const expected_send_data = reinterpret_cast<void*>(&fSendData);
  void* const expected_send_string = nullptr;
#endif
  const int32_t handle = NextHandle();
  HostList load;
  load.Int("HANDLE", value).Text("ApplicationName", "no-such-module-here.bin");
  ASSERT_EQ(Execute(handle, "LOAD", load), 0);
  TkvoPlugin* instance = InstanceOf(handle);
  EXPECT_EQ(instance->HostModule(), value) << "HANDLE wins over the name";
  EXPECT_NE(instance->SendData(), nullptr);
  EXPECT_EQ(instance->SendData(), expected_send_data);
  EXPECT_EQ(instance->SendString(), expected_send_string);
  EXPECT_EQ(instance->SendByte(), nullptr);
}

using Language = PluginTest;

TEST_F(Language, SameLanguageChangesNothing) {
  const int32_t handle = NextHandle();
  const std::string current = InstanceOf(handle)->Language();
  ASSERT_FALSE(current.empty());
  HostList parameters;
  parameters.Text("LANGUAGE", current);
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", parameters), 0);
  EXPECT_EQ(TheProbe().CountOf("OnChangeLanguage"), 0);
  EXPECT_EQ(InstanceOf(handle)->Language(), current);
}

TEST_F(Language, AnotherLanguageRaisesTheEventOnceWithTheNewLanguageInPlace) {
  const int32_t handle = NextHandle();
  ASSERT_NE(InstanceOf(handle)->Language(), "DE");
  TheProbe().custom_command = [](TkvoPlugin&, const std::string&, kvo::TParamsList*, int32_t& result) {
    result = 7;
  };
  HostList parameters;
  parameters.Text("LANGUAGE", "DE");
  EXPECT_EQ(Execute(handle, "NO-SUCH-COMMAND", parameters), 7) << "the custom handler's result";
  const std::vector<Call> changes = TheProbe().CallsOf("OnChangeLanguage");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].language, "DE");
  EXPECT_EQ(InstanceOf(handle)->Language(), "DE");
  // Applied before the command itself runs.
  const std::vector<Call> commands = TheProbe().CallsOf("OnExecuteCustomCommand");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].language, "DE");
  EXPECT_EQ(TheProbe().EventNames(),
            (std::vector<std::string>{"OnChangeLanguage", "OnExecuteCustomCommand"}));

  // The same language again, an empty one, a different letter case.
  HostList again;
  again.Text("LANGUAGE", "DE");
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", again), 0);
  HostList empty;
  empty.Text("LANGUAGE", "");
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", empty), 0);
  EXPECT_EQ(TheProbe().CountOf("OnChangeLanguage"), 1);
  EXPECT_EQ(InstanceOf(handle)->Language(), "DE");
  HostList lower;
  lower.Text("LANGUAGE", "de");
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", lower), 0);
  EXPECT_EQ(TheProbe().CountOf("OnChangeLanguage"), 2) << "languages compare exactly";
  EXPECT_EQ(InstanceOf(handle)->Language(), "de");
}

TEST_F(Language, RaisingLanguageEventDoesNotFailTheCommand) {
  const int32_t handle = NextHandle();
  TheProbe().raise_in = {"OnChangeLanguage"};
  HostList parameters;
  parameters.Text("LANGUAGE", "FR");
  parameters.Text("RESULT", "");
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", parameters), 0);
  EXPECT_EQ(TheProbe().CountOf("OnChangeLanguage"), 1);
  EXPECT_EQ(InstanceOf(handle)->Language(), "FR");
}

TEST_F(Language, IsTakenEvenByACommandThatFails) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Text("LANGUAGE", "IT");
  EXPECT_EQ(Execute(handle, "SET-STATE", parameters), -1) << "no RESULT, no TYPE";
  EXPECT_EQ(InstanceOf(handle)->Language(), "IT");
  EXPECT_EQ(TheProbe().CountOf("OnChangeLanguage"), 1);
}

}  // namespace
}  // namespace kvo::plugin_test
