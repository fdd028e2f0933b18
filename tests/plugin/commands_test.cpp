// The command dispatcher behind ExecutePluginCommand: what every command does first, each framework
// command with its result, data sources and states, events and the settings commands.
#include <string>

#include "plugin_test_support.h"

namespace kvo::plugin_test {
namespace {

using Commands = PluginTest;

TEST_F(Commands, MissingOrEmptyCommandIsRefused) {
  const int32_t handle = NextHandle();
  HostList none;
  none.Text("LANGUAGE", "DE");
  EXPECT_EQ(ExecutePluginCommand(handle, none.get()), -1);
  HostList empty;
  empty.Empty("COMMAND");
  EXPECT_EQ(ExecutePluginCommand(handle, empty.get()), -1);
  HostList null;
  null.Null("COMMAND");
  EXPECT_EQ(ExecutePluginCommand(handle, null.get()), -1);
  EXPECT_TRUE(TheProbe().EventNames().empty());
}

TEST_F(Commands, TheCommandParameterIsFoundWithoutRegardToCase) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Text("command", "LOAD");
  EXPECT_EQ(ExecutePluginCommand(handle, parameters.get()), 0);
  EXPECT_EQ(InstanceOf(handle)->LoadCount(), 1);
}

TEST_F(Commands, LowerCaseLoadIsACustomCommand) {
  const int32_t handle = NextHandle();
  TheProbe().custom_command = [](TkvoPlugin&, const std::string&, kvo::TParamsList*, int32_t& result) {
    result = 11;
  };
  HostList parameters;
  EXPECT_EQ(Execute(handle, "load", parameters), 11);
  const std::vector<Call> calls = TheProbe().CallsOf("OnExecuteCustomCommand");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "load");
  EXPECT_EQ(calls[0].parameters, parameters.impl());
  EXPECT_EQ(InstanceOf(handle)->LoadCount(), 0);
  EXPECT_EQ(TheProbe().CountOf("OnLoad"), 0);

  InstanceOf(handle)->OnExecuteCustomCommand = nullptr;
  EXPECT_EQ(Execute(handle, "load"), -2);
  EXPECT_EQ(InstanceOf(handle)->LoadCount(), 0);
}

TEST_F(Commands, NamesThatOnlyResembleFrameworkCommandsAreCustom) {
  const int32_t handle = NextHandle();
  for (const char* name : {"Load", " LOAD", "LOAD ", "unload", "SET_ITEMS", "SETITEMS", "Items", "EVENT "}) {
    EXPECT_EQ(Execute(handle, name), -2) << name << ": the handler left the preset";
  }
  const std::vector<Call> calls = TheProbe().CallsOf("OnExecuteCustomCommand");
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[1].text, " LOAD") << "the name arrives as received";
  EXPECT_EQ(InstanceOf(handle)->LoadCount(), 0);
}

TEST_F(Commands, CustomCommandThatRaisesAnswersMinusThree) {
  const int32_t handle = NextHandle();
  TheProbe().raise_in = {"OnExecuteCustomCommand"};
  EXPECT_EQ(Execute(handle, "MENU-1"), -3);
}

struct ResultCase {
  const char* name;
  const char* command;
  void (*fill)(HostList&);
  int32_t result;
  // Shown in the test list by its name.
  friend void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }
};

void Nothing(HostList&) {}
void Items(HostList& p) {
  p.Text("ITEMS", "S|Temperature|Float|");
}
void Result(HostList& p) {
  p.Int("RESULT", 0);
}
void State(HostList& p) {
  p.Int("RESULT", 1).Int("TYPE", 32);
}
void StateWithoutType(HostList& p) {
  p.Int("RESULT", 1);
}
void StateWithoutResult(HostList& p) {
  p.Int("TYPE", 32);
}
void EventType(HostList& p) {
  p.Text("EVENT-TYPE", "ALARM");
}
void IniFile(HostList& p) {
  p.Text("INI-FILE", "elsewhere.ini");
}
void TextResult(HostList& p) {
  p.Text("RESULT", "not a number").Int("TYPE", 32);
}
void TextType(HostList& p) {
  p.Int("RESULT", 1).Text("TYPE", "not a number");
}
void TextHandle(HostList& p) {
  p.Text("MessagesProcessorHandle", "not a number");
}

class CommandResults : public PluginTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(CommandResults, AnswerAsTheTableSays) {
  const ResultCase& c = GetParam();
  const int32_t handle = NextHandle();
  HostList parameters;
  c.fill(parameters);
  EXPECT_EQ(Execute(handle, c.command, parameters), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Dispatcher, CommandResults,
    ::testing::Values(ResultCase{"Load", "LOAD", Nothing, 0}, ResultCase{"Unload", "UNLOAD", Nothing, 0},
                      ResultCase{"SetItems", "SET ITEMS", Items, 0},
                      ResultCase{"SetItemsWithoutItems", "SET ITEMS", Nothing, -1},
                      ResultCase{"Items", "ITEMS", Result, 0},
                      ResultCase{"ItemsWithoutResult", "ITEMS", Nothing, -1},
                      ResultCase{"SetState", "SET-STATE", State, 0},
                      ResultCase{"SetStateWithoutType", "SET-STATE", StateWithoutType, -1},
                      ResultCase{"SetStateWithoutResult", "SET-STATE", StateWithoutResult, -1},
                      ResultCase{"SetStateTextResult", "SET-STATE", TextResult, -3},
                      ResultCase{"SetStateTextType", "SET-STATE", TextType, -3},
                      ResultCase{"EventsSupport", "EVENTS-SUPPORT", Nothing, 0},
                      ResultCase{"EventHandlerLeavesPreset", "EVENT", EventType, -1},
                      ResultCase{"EventWithoutType", "EVENT", Nothing, -1},
                      ResultCase{"SaveSettingsNow", "SAVE-SETTINGS-NOW", IniFile, 0},
                      ResultCase{"LoadSettingsNow", "LOAD-SETTINGS-NOW", IniFile, 0},
                      ResultCase{"UnknownLeftAtPreset", "NO-SUCH-COMMAND", Nothing, -2},
                      ResultCase{"HandleNotANumber", "EVENTS-SUPPORT", TextHandle, -3}),
    CaseName());

// --- SET-STATE ---

void ExpectSources(TkvoPlugin& instance, const std::vector<TConfigDataSource>& expected) {
  const std::vector<TConfigDataSource> sources = instance.DataSources();
  ASSERT_EQ(sources.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(sources[i].ID, expected[i].ID) << i;
    EXPECT_EQ(sources[i].Text1, expected[i].Text1) << i;
    EXPECT_EQ(sources[i].Text2, expected[i].Text2) << i;
  }
}

struct LinesCase {
  const char* name;
  const char* lines;
  // Shown in the test list by its name.
  friend void PrintTo(const LinesCase& c, std::ostream* os) { *os << c.name; }
};

class SetStateLines : public PluginTest, public ::testing::WithParamInterface<LinesCase> {};

TEST_P(SetStateLines, TakeEveryLineWithANumber) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Text("SERIAL-PORTS-IN-CFG2", GetParam().lines).Int("RESULT", 1).Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", parameters), 0);
  ExpectSources(*InstanceOf(handle), {{1, "COM1", "first"}, {3, "", ""}});
}

INSTANTIATE_TEST_SUITE_P(
    Dispatcher, SetStateLines,
    ::testing::Values(LinesCase{"CrLf", "1;COM1;first\r\nx;bad\r\n3"},
                      LinesCase{"Lf", "1;COM1;first\nx;bad\n3\n"}, LinesCase{"Cr", "1;COM1;first\rx;bad\r3"},
                      LinesCase{"MinusOneAndEmptyLines", "1;COM1;first\r\n\r\n-1;gone\r\n3"}),
    CaseName());

TEST_F(Commands, SetStateTrimsTheFieldsOfALine) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Text("SERIAL-PORTS-IN-CFG2", " 4 ;  COM4\t; second text ;extra")
      .Int("RESULT", 1)
      .Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", parameters), 0);
  ExpectSources(*InstanceOf(handle), {{4, "COM4", "second text"}});
}

TEST_F(Commands, SetStateTakesTheNumberList) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Text("SERIAL-PORTS-IN-CFG", "1,2,5").Int("RESULT", 1).Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", parameters), 0);
  ExpectSources(*InstanceOf(handle), {{1, "", ""}, {2, "", ""}, {5, "", ""}});

  HostList skipping;
  skipping.Text("SERIAL-PORTS-IN-CFG", "7,x,-1,,9").Int("RESULT", 1).Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", skipping), 0);
  ExpectSources(*InstanceOf(handle), {{7, "", ""}, {9, "", ""}});
}

TEST_F(Commands, SetStateWithBothSourceParametersUsesOnlyTheLines) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Text("SERIAL-PORTS-IN-CFG", "1,2,5")
      .Text("SERIAL-PORTS-IN-CFG2", "8;COM8;eight")
      .Int("RESULT", 1)
      .Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", parameters), 0);
  ExpectSources(*InstanceOf(handle), {{8, "COM8", "eight"}});
}

TEST_F(Commands, SetStateWithNullLinesUsesTheNumberList) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Null("SERIAL-PORTS-IN-CFG2").Text("SERIAL-PORTS-IN-CFG", "6").Int("RESULT", 1).Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", parameters), 0);
  ExpectSources(*InstanceOf(handle), {{6, "", ""}});
}

TEST_F(Commands, SetStateWithoutSourcesKeepsThemAndReplacesThemEvenWhenItFails) {
  const int32_t handle = NextHandle();
  HostList first;
  first.Text("SERIAL-PORTS-IN-CFG", "1,2").Int("RESULT", 1).Int("TYPE", 32);
  ASSERT_EQ(Execute(handle, "SET-STATE", first), 0);
  HostList without;
  without.Int("RESULT", 1).Int("TYPE", 4);
  EXPECT_EQ(Execute(handle, "SET-STATE", without), 0);
  ExpectSources(*InstanceOf(handle), {{1, "", ""}, {2, "", ""}});

  HostList failing;
  failing.Text("SERIAL-PORTS-IN-CFG", "9").Int("RESULT", 1);
  EXPECT_EQ(Execute(handle, "SET-STATE", failing), -1);
  ExpectSources(*InstanceOf(handle), {{9, "", ""}});
}

std::vector<bool> States(TkvoPlugin& instance) {
  std::vector<bool> states;
  for (int n = 0; n < 8; ++n)
    states.push_back(instance.State(static_cast<TModuleType>(n)));
  return states;
}

TEST_F(Commands, SetStateSwitchesTheNamedTypesAndReportsThem) {
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  HostList query;
  query.Int("RESULT", 1).Int("TYPE", 1);
  ASSERT_EQ(Execute(handle, "SET-STATE", query), 0);
  TheProbe().Reset();

  HostList on;
  on.Int("RESULT", 1).Int("TYPE", 36);
  EXPECT_EQ(Execute(handle, "SET-STATE", on), 0);
  EXPECT_EQ(States(*instance), (std::vector<bool>{true, false, true, false, false, true, false, false}));
  std::vector<Call> changes = TheProbe().CallsOf("OnStateChanged");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].types, static_cast<uint32_t>(KVO_MT_DATA_EXPORT | KVO_MT_FILTER));

  HostList off;
  off.Int("RESULT", 0).Int("TYPE", 36);
  EXPECT_EQ(Execute(handle, "SET-STATE", off), 0);
  EXPECT_EQ(States(*instance), (std::vector<bool>{true, false, false, false, false, false, false, false}));
  changes = TheProbe().CallsOf("OnStateChanged");
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].types, 36u) << "the set named by TYPE, whatever RESULT was";

  HostList other;
  other.Int("RESULT", 2).Int("TYPE", 1 + 256);
  EXPECT_EQ(Execute(handle, "SET-STATE", other), 0);
  EXPECT_EQ(States(*instance), (std::vector<bool>(8, false))) << "any RESULT but 1 switches off";
  changes = TheProbe().CallsOf("OnStateChanged");
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[2].types, 1u) << "bits above 7 are ignored";

  // The enabled-only view of a call type follows the states.
  ASSERT_EQ(Execute(handle, "SET-STATE", on), 0);
  EXPECT_EQ(instance->ModuleTypesFromValue(Variant::FromInt(0xFF), true).Mask(), 36u);
  EXPECT_EQ(instance->ModuleTypesFromValue(Variant::FromInt(0x1FF), false).Mask(), 0xFFu);
  EXPECT_TRUE(instance->ModuleTypesFromValue(Variant::Null(), false).Empty());
  EXPECT_TRUE(instance->ModuleTypesFromValue(Variant(), false).Empty());
}

TEST_F(Commands, SetStateWithoutTypeOrResultRaisesNoEvent) {
  const int32_t handle = NextHandle();
  HostList without_type;
  without_type.Int("RESULT", 1);
  EXPECT_EQ(Execute(handle, "SET-STATE", without_type), -1);
  HostList null_type;
  null_type.Int("RESULT", 1).Null("TYPE");
  EXPECT_EQ(Execute(handle, "SET-STATE", null_type), -1);
  HostList without_result;
  without_result.Int("TYPE", 36);
  EXPECT_EQ(Execute(handle, "SET-STATE", without_result), -1);
  EXPECT_EQ(TheProbe().CountOf("OnStateChanged"), 0);
  EXPECT_EQ(States(*InstanceOf(handle)), std::vector<bool>(8, false));
}

TEST_F(Commands, LastUnloadSwitchesEveryStateOff) {
  const int32_t handle = NextHandle();
  ASSERT_EQ(Execute(handle, "LOAD"), 0);
  HostList on;
  on.Int("RESULT", 1).Int("TYPE", 0xFF);
  ASSERT_EQ(Execute(handle, "SET-STATE", on), 0);
  ASSERT_EQ(States(*InstanceOf(handle)), std::vector<bool>(8, true));
  ASSERT_EQ(Execute(handle, "UNLOAD"), 0);
  EXPECT_EQ(States(*InstanceOf(handle)), std::vector<bool>(8, false));
}

// --- EVENTS-SUPPORT and EVENT ---

TEST_F(Commands, EventsSupportWithoutResultLeavesTheListAlone) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Int("OTHER", 5);
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", parameters), 0);
  EXPECT_EQ(parameters.Count(), 2);
  EXPECT_FALSE(parameters.Has("RESULT"));
}

TEST_F(Commands, EventsSupportWritesTheSupportedEventsAsText) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Int("result", 0);
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", parameters), 0);
  EXPECT_EQ(parameters.TypeOf("RESULT"), KVO_VT_BSTR);
  EXPECT_EQ(parameters.TextOf("RESULT"), "ALARM\r\nRESET");
  EXPECT_EQ(parameters.Count(), 2);

  InstanceOf(handle)->EventsSupported.clear();
  HostList empty;
  empty.Int("RESULT", 0);
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", empty), 0);
  EXPECT_EQ(empty.TypeOf("RESULT"), KVO_VT_BSTR);
  EXPECT_EQ(empty.TextOf("RESULT"), "");
}

TEST_F(Commands, ResultElementThatIsNullIsStillWritten) {
  const int32_t handle = NextHandle();
  HostList events;
  events.Null("RESULT");
  EXPECT_EQ(Execute(handle, "EVENTS-SUPPORT", events), 0);
  EXPECT_EQ(events.TextOf("RESULT"), "ALARM\r\nRESET");
  HostList items;
  items.Null("RESULT");
  EXPECT_EQ(Execute(handle, "ITEMS", items), 0);
  EXPECT_EQ(items.TypeOf("RESULT"), KVO_VT_BSTR);
}

TEST_F(Commands, RaisingStateEventAnswersMinusThreeAfterTheStatesChanged) {
  const int32_t handle = NextHandle();
  TheProbe().raise_in = {"OnStateChanged"};
  HostList on;
  on.Int("RESULT", 1).Int("TYPE", 32);
  EXPECT_EQ(Execute(handle, "SET-STATE", on), -3);
  EXPECT_TRUE(InstanceOf(handle)->State(mttFilter));
}

TEST_F(Commands, EventPassesTheTypeAndTheHandlersResult) {
  const int32_t handle = NextHandle();
  TheProbe().event = [](TkvoPlugin&, const std::string& type, kvo::TParamsList* parameters, int32_t& result) {
    EXPECT_EQ(result, -1) << "the event starts from -1";
    result = type == "ALARM" ? 4 : 0;
    parameters->Add("HANDLED", Variant::FromInt(1));
  };
  HostList parameters;
  parameters.Text("EVENT-TYPE", "ALARM");
  EXPECT_EQ(Execute(handle, "EVENT", parameters), 4);
  const std::vector<Call> calls = TheProbe().CallsOf("OnEvent");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "ALARM");
  EXPECT_EQ(calls[0].parameters, parameters.impl());
  EXPECT_TRUE(parameters.Has("HANDLED")) << "the handler writes into the host's list";
}

TEST_F(Commands, EventWithoutHandlerSucceedsAndWithoutTypeIsRefused) {
  const int32_t handle = NextHandle();
  InstanceOf(handle)->OnEvent = nullptr;
  HostList parameters;
  parameters.Text("EVENT-TYPE", "ALARM");
  EXPECT_EQ(Execute(handle, "EVENT", parameters), 0);
  HostList null_type;
  null_type.Null("EVENT-TYPE");
  EXPECT_EQ(Execute(handle, "EVENT", null_type), -1);
}

TEST_F(Commands, EventWithoutTypeRaisesNoEventAndRaisingHandlerGivesMinusThree) {
  const int32_t handle = NextHandle();
  EXPECT_EQ(Execute(handle, "EVENT"), -1);
  EXPECT_EQ(TheProbe().CountOf("OnEvent"), 0);
  TheProbe().raise_in = {"OnEvent"};
  HostList parameters;
  parameters.Text("EVENT-TYPE", "ALARM");
  EXPECT_EQ(Execute(handle, "EVENT", parameters), -3);
  EXPECT_EQ(TheProbe().CountOf("OnEvent"), 1);
}

// --- SAVE-SETTINGS-NOW and LOAD-SETTINGS-NOW ---

class SettingsNow : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    handle_ = NextHandle();
    HostList load;
    load.Text("INI-FILE", "own.ini");
    ASSERT_EQ(Execute(handle_, "LOAD", load), 0);
    TheProbe().Reset();
  }
  int32_t Run(const char* command, const char* ini_file) {
    HostList parameters;
    if (ini_file) parameters.Text("INI-FILE", ini_file);
    return Execute(handle_, command, parameters);
  }
  std::string IniFile() { return InstanceOf(handle_)->INIFile(); }

  int32_t handle_ = 0;
};

TEST_F(SettingsNow, SaveRunsWithTheNamedFileAndRestoresTheOwnOne) {
  EXPECT_EQ(Run("SAVE-SETTINGS-NOW", "other.ini"), 0);
  const std::vector<Call> saves = TheProbe().CallsOf("OnSaveSettingsNow");
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].ini_file, "other.ini");
  EXPECT_EQ(TheProbe().CountOf("OnLoadSettingsNow"), 0);
  EXPECT_EQ(IniFile(), "own.ini");
}

TEST_F(SettingsNow, SaveWithoutFileRunsWithNoneThatIsTheRegistry) {
  EXPECT_EQ(Run("SAVE-SETTINGS-NOW", nullptr), 0);
  const std::vector<Call> saves = TheProbe().CallsOf("OnSaveSettingsNow");
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].ini_file, "");
  EXPECT_EQ(IniFile(), "own.ini");
}

TEST_F(SettingsNow, LoadReadsTheNamedFileThenSavesIntoTheOwnOne) {
  EXPECT_EQ(Run("LOAD-SETTINGS-NOW", "other.ini"), 0);
  EXPECT_EQ(TheProbe().EventNames(), (std::vector<std::string>{"OnLoadSettingsNow", "OnSaveSettingsNow"}));
  EXPECT_EQ(TheProbe().CallsOf("OnLoadSettingsNow").at(0).ini_file, "other.ini");
  EXPECT_EQ(TheProbe().CallsOf("OnSaveSettingsNow").at(0).ini_file, "own.ini");
  EXPECT_EQ(IniFile(), "own.ini");
}

struct RaiseCase {
  const char* name;
  const char* command;
  const char* raising;
  std::vector<std::string> events;
  // Shown in the test list by its name.
  friend void PrintTo(const RaiseCase& c, std::ostream* os) { *os << c.name; }
};

class SettingsNowRaising : public SettingsNow, public ::testing::WithParamInterface<RaiseCase> {};

TEST_P(SettingsNowRaising, AnswersMinusThreeAndRestoresTheOwnFile) {
  const RaiseCase& c = GetParam();
  TheProbe().raise_in = {c.raising};
  EXPECT_EQ(Run(c.command, "other.ini"), -3);
  EXPECT_EQ(TheProbe().EventNames(), c.events);
  EXPECT_EQ(IniFile(), "own.ini");
}

INSTANTIATE_TEST_SUITE_P(
    Dispatcher, SettingsNowRaising,
    ::testing::Values(
        RaiseCase{"SaveRaises", "SAVE-SETTINGS-NOW", "OnSaveSettingsNow", {"OnSaveSettingsNow"}},
        RaiseCase{"LoadRaises", "LOAD-SETTINGS-NOW", "OnLoadSettingsNow", {"OnLoadSettingsNow"}},
        RaiseCase{"SaveAfterLoadRaises",
                  "LOAD-SETTINGS-NOW",
                  "OnSaveSettingsNow",
                  {"OnLoadSettingsNow", "OnSaveSettingsNow"}}),
    CaseName());

// --- what every command does first ---

struct HandleCase {
  const char* name;
  const char* command;
  void (*fill)(HostList&);
  int32_t result;
  // Shown in the test list by its name.
  friend void PrintTo(const HandleCase& c, std::ostream* os) { *os << c.name; }
};

void RaiseInCustom(HostList&) {
  TheProbe().raise_in = {"OnExecuteCustomCommand"};
}

class MessagesHandle : public PluginTest, public ::testing::WithParamInterface<HandleCase> {};

TEST_P(MessagesHandle, IsTakenWhateverTheCommandDoes) {
  const HandleCase& c = GetParam();
  const int32_t handle = NextHandle();
  HostList parameters;
  c.fill(parameters);
  parameters.Int("messagesprocessorhandle", 987654);
  EXPECT_EQ(Execute(handle, c.command, parameters), c.result);
  EXPECT_EQ(InstanceOf(handle)->MessagesProcessorHandle(), 987654);
}

INSTANTIATE_TEST_SUITE_P(Dispatcher, MessagesHandle,
                         ::testing::Values(HandleCase{"UnknownCommand", "NO-SUCH-COMMAND", Nothing, -2},
                                           HandleCase{"FailingCommand", "SET-STATE", StateWithoutType, -1},
                                           HandleCase{"RaisingCommand", "MENU-1", RaiseInCustom, -3},
                                           HandleCase{"EventWithoutType", "EVENT", Nothing, -1},
                                           HandleCase{"Load", "LOAD", Nothing, 0}),
                         CaseName());

TEST_F(Commands, NullMessagesHandleKeepsThePreviousOne) {
  const int32_t handle = NextHandle();
  HostList first;
  first.Int("MessagesProcessorHandle", 987654);
  ASSERT_EQ(Execute(handle, "EVENTS-SUPPORT", first), 0);
  HostList null;
  null.Null("MessagesProcessorHandle");
  ASSERT_EQ(Execute(handle, "EVENTS-SUPPORT", null), 0);
  EXPECT_EQ(InstanceOf(handle)->MessagesProcessorHandle(), 987654);
}

TEST_F(Commands, ListWithoutLiveSignatureAnswersMinusThree) {
  const int32_t handle = NextHandle();
  ASSERT_NE(InstanceOf(handle), nullptr);
  HostList parameters;
  parameters.Text("COMMAND", "LOAD").Int("MessagesProcessorHandle", 987654);
  {
    BrokenSignature broken(parameters);
    EXPECT_EQ(ExecutePluginCommand(handle, parameters.get()), -3);
    // A new handle made from such a list.
    EXPECT_EQ(ExecutePluginCommand(NextHandle(), parameters.get()), -3);
  }
  EXPECT_EQ(InstanceOf(handle)->LoadCount(), 0);
  EXPECT_EQ(InstanceOf(handle)->MessagesProcessorHandle(), 0);
  EXPECT_TRUE(TheProbe().EventNames().empty());
}

}  // namespace
}  // namespace kvo::plugin_test
