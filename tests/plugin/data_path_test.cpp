// Inside the data exports: the call type, the lists the module's event receives, the result rows lent
// to the host, the host's Data variable, result codes and status messages; GetData and GetEvents.
#include <string>

#include "plugin_test_support.h"

namespace kvo::plugin_test {
namespace {

constexpr const char* kNoData = "No data for processing||1";
constexpr const char* kError = "Data have been processed with errors||1";
constexpr const char* kComplete = "Data have been processed successful||2";

// A loaded instance and a host that calls ProcessData with a data block.
class DataPath : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    handle_ = NextHandle();
    ASSERT_EQ(Execute(handle_, "LOAD"), 0);
    instance_ = InstanceOf(handle_);
    TheProbe().Reset();
  }

  // Calls ProcessData with `type` (none when negative) and the host's Data variable set to `block`.
  int32_t Process(int32_t type, void* block, uint32_t data_source_id = 1) {
    HostList parameters;
    if (type >= 0) parameters.Int("TYPE", type);
    return ProcessWith(parameters, block, data_source_id);
  }
  int32_t ProcessWith(HostList& parameters, void* block, uint32_t data_source_id = 1) {
    data_ = block;
    rows_ = reinterpret_cast<::TParamsList*>(&stale_rows_);  // a stale value the export must replace
    last_parameters_ = parameters.impl();
    return ProcessData(handle_, data_source_id, parameters.get(), &data_, &rows_);
  }
  // Puts something in the log, so that a test can see it discarded.
  void Pend() { instance_->AddLogMessage(3, "pending"); }

  int32_t handle_ = 0;
  TkvoPlugin* instance_ = nullptr;
  void* data_ = nullptr;
  ::TParamsList* rows_ = nullptr;
  int stale_rows_ = 0;
  kvo::TParamsList* last_parameters_ = nullptr;
};

TEST_F(DataPath, MissingOrZeroTypeCallsNothing) {
  for (int32_t type : {-1, 0, 256}) {
    HostList block(true);
    block.Int("a", 1).NewRow();
    Pend();
    EXPECT_EQ(Process(type, block.get()), 0) << type;
    EXPECT_EQ(rows_, nullptr) << type;
    EXPECT_EQ(data_, nullptr) << type;
    EXPECT_EQ(PendingLog(handle_), "") << type;
    EXPECT_EQ(block.Count(), 2);
  }
  HostList null_type;
  null_type.Null("TYPE");
  HostList block(true);
  EXPECT_EQ(ProcessWith(null_type, block.get()), 0);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
}

TEST_F(DataPath, ExportCallWithoutDataLogsNoData) {
  HostList empty(true);
  for (void* block : {static_cast<void*>(nullptr), static_cast<void*>(empty.get())}) {
    Pend();
    EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, block), 0);
    EXPECT_EQ(data_, nullptr);
    EXPECT_EQ(rows_, nullptr);
    EXPECT_EQ(FetchLog(handle_), kNoData);
  }
  EXPECT_EQ(empty.Count(), 0) << "no marker for an empty block";
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
}

TEST_F(DataPath, EmptyNoDataMessageLogsNothing) {
  instance_->MsgNoData.clear();
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, nullptr), 0);
  EXPECT_EQ(FetchLog(handle_), "");
}

TEST_F(DataPath, QueryCallHandsTheEmptyListToTheEvent) {
  HostList empty;
  EXPECT_EQ(Process(KVO_MT_DATA_QUERY, empty.get()), 0);
  const std::vector<Call> calls = TheProbe().CallsOf("OnProcessData");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, empty.impl());
  EXPECT_EQ(calls[0].data_count, 0);
  EXPECT_EQ(calls[0].types, static_cast<uint32_t>(KVO_MT_DATA_QUERY));
  EXPECT_EQ(FetchLog(handle_), "") << "a query call logs no completion";
}

TEST_F(DataPath, QueryAndExportCallWithAnEmptyListReachesTheEvent) {
  HostList empty(true);
  EXPECT_EQ(Process(KVO_MT_DATA_QUERY | KVO_MT_DATA_EXPORT, empty.get()), 0);
  const std::vector<Call> calls = TheProbe().CallsOf("OnProcessData");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, empty.impl());
  EXPECT_EQ(empty.Count(), 0) << "an empty list has no row to close";
  EXPECT_EQ(FetchLog(handle_), kComplete);
}

TEST_F(DataPath, FilterCallWithAnEmptyListGetsNullAndLogsNothing) {
  HostList empty(true);
  Pend();
  EXPECT_EQ(Process(KVO_MT_FILTER, empty.get()), 0);
  const std::vector<Call> calls = TheProbe().CallsOf("OnProcessData");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, nullptr);
  EXPECT_EQ(calls[0].types, static_cast<uint32_t>(KVO_MT_FILTER));
  EXPECT_EQ(FetchLog(handle_), "");
  EXPECT_EQ(data_, nullptr);
}

TEST_F(DataPath, EventReceivesTheCallsArgumentsAsTheHostPassedThem) {
  HostList block(true);
  block.Int("a", 1).NewRow();
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_FILTER | KVO_MT_LOGGING | 0x300).Text("EXTRA", "x");
  EXPECT_EQ(ProcessWith(parameters, block.get(), 0xFFFFFFF0u), 0);
  const std::vector<Call> calls = TheProbe().CallsOf("OnProcessData");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, block.impl());
  EXPECT_EQ(calls[0].parameters, parameters.impl()) << "the parameters arrive as Device";
  EXPECT_EQ(calls[0].data_source_id, 0xFFFFFFF0u);
  EXPECT_EQ(calls[0].types, static_cast<uint32_t>(KVO_MT_FILTER | KVO_MT_LOGGING));
  EXPECT_EQ(calls[0].buffer, block.get()) << "the host's Data variable itself";
  EXPECT_EQ(block.Count(), 2);
}

TEST_F(DataPath, ExportCallClosesTheLastRowOfTheHostsList) {
  HostList block(true);
  block.Int("a", 1).Text("b", "x");
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, block.get()), 0);
  ASSERT_EQ(block.Count(), 3);
  EXPECT_STREQ(kvo_params_name(block.get(), 2), KVO_NEW_ROW_MARKER);
  EXPECT_EQ(kvo_params_type(block.get(), 2), KVO_VT_NULL);
  const std::vector<Call> calls = TheProbe().CallsOf("OnProcessData");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data_count, 3);
  EXPECT_EQ(calls[0].data_last_name, KVO_NEW_ROW_MARKER);
  EXPECT_EQ(FetchLog(handle_), kComplete);
}

TEST_F(DataPath, ExportCallLeavesClosedRowsAndPlainListsAsTheyAre) {
  HostList closed(true);
  closed.Int("a", 1).NewRow();
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, closed.get()), 0);
  EXPECT_EQ(closed.Count(), 2);
  HostList plain;
  plain.Int("a", 1);
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, plain.get()), 0);
  EXPECT_EQ(plain.Count(), 1) << "only a row list gets the marker";
  HostList lower(true);
  lower.Int("a", 1).Null("$new_row$");
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, lower.get()), 0);
  EXPECT_EQ(lower.Count(), 3) << "the marker test is case-sensitive";
  HostList filter(true);
  filter.Int("a", 1);
  EXPECT_EQ(Process(KVO_MT_FILTER, filter.get()), 0);
  EXPECT_EQ(filter.Count(), 1) << "only an export call closes the row";
}

TEST_F(DataPath, RowsAreLentOnlyWhenTheEventFilledThem) {
  HostList block(true);
  block.Int("a", 1).NewRow();
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), 0);
  EXPECT_EQ(rows_, nullptr) << "the event left the result rows empty";

  TheProbe().process_data = [](TkvoPlugin& sender, kvo::TParamsList* data, void*&, int32_t& result) {
    sender.ResultRows()->Clear();
    sender.ResultRows()->AppendList(data);
    result = 0;
  };
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), 0);
  ASSERT_NE(rows_, nullptr);
  EXPECT_EQ(reinterpret_cast<kvo::TParamsList*>(rows_), instance_->ResultRows());
  EXPECT_EQ(kvo_params_count(rows_), 2);
  EXPECT_EQ(kvo_params_is_rows(rows_), 1);
  EXPECT_EQ(data_, nullptr);

  // Rows left from an earlier call are lent again: the framework does not empty them.
  TheProbe().process_data = nullptr;
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), 0);
  EXPECT_EQ(reinterpret_cast<kvo::TParamsList*>(rows_), instance_->ResultRows());
}

TEST_F(DataPath, PositiveResultStandsOnlyWhileTheHostsVariableHoldsSomething) {
  HostList block(true);
  block.Int("a", 1).NewRow();
  TheProbe().process_data = [](TkvoPlugin&, kvo::TParamsList*, void*&, int32_t& result) { result = 5; };
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), 5);
  EXPECT_EQ(data_, nullptr) << "left unchanged by the event, cleared on return";

  TheProbe().process_data = [](TkvoPlugin&, kvo::TParamsList*, void*& buffer, int32_t& result) {
    buffer = nullptr;
    result = 5;
  };
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), 0);
  EXPECT_EQ(data_, nullptr);

  static char own_buffer[8];
  TheProbe().process_data = [](TkvoPlugin&, kvo::TParamsList*, void*& buffer, int32_t& result) {
    buffer = own_buffer;
    result = 5;
  };
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), 5);
  EXPECT_EQ(data_, own_buffer) << "the module's own buffer reaches the host";

  TheProbe().process_data = [](TkvoPlugin&, kvo::TParamsList*, void*&, int32_t& result) { result = -9; };
  EXPECT_EQ(Process(KVO_MT_FILTER, block.get()), -9) << "a negative result passes through";
  EXPECT_EQ(data_, nullptr);
}

TEST_F(DataPath, RaisingEventGivesMinusThreeAndTheErrorMessage) {
  HostList block(true);
  block.Int("a", 1).NewRow();
  TheProbe().raise_in = {"OnProcessData"};
  TheProbe().process_data = [](TkvoPlugin& sender, kvo::TParamsList* data, void*&, int32_t&) {
    sender.ResultRows()->AppendList(data);  // rows the failed call must not lend
  };
  for (int32_t type : {KVO_MT_FILTER, KVO_MT_DATA_EXPORT}) {
    EXPECT_EQ(Process(type, block.get()), -3) << type;
    EXPECT_EQ(FetchLog(handle_), kError) << type;
    EXPECT_EQ(data_, nullptr) << type;
    EXPECT_EQ(rows_, nullptr) << type;
  }
}

struct MessageCase {
  const char* name;
  int32_t type;
  int32_t event_result;
  const char* log;
  // Shown in the test list by its name.
  friend void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }
};

class CompletionMessage : public DataPath, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(CompletionMessage, FollowsTheCallTypeAndTheResult) {
  const MessageCase& c = GetParam();
  const int32_t event_result = c.event_result;
  TheProbe().process_data = [event_result](TkvoPlugin&, kvo::TParamsList*, void*&, int32_t& result) {
    result = event_result;
  };
  HostList block(true);
  block.Int("a", 1).NewRow();
  Pend();
  EXPECT_EQ(Process(c.type, block.get()), c.event_result);
  EXPECT_EQ(FetchLog(handle_), c.log);
}

INSTANTIATE_TEST_SUITE_P(DataPath, CompletionMessage,
                         ::testing::Values(MessageCase{"ExportFailed", KVO_MT_DATA_EXPORT, -2, kError},
                                           MessageCase{"ExportDone", KVO_MT_DATA_EXPORT, 0, kComplete},
                                           MessageCase{"ExportPositive", KVO_MT_DATA_EXPORT, 3, kComplete},
                                           MessageCase{"EventsFailed", KVO_MT_EVENTS_HANDLING, -1, kError},
                                           MessageCase{"EventsDone", KVO_MT_EVENTS_HANDLING, 0, kComplete},
                                           MessageCase{"FilterFailed", KVO_MT_FILTER, -2, ""},
                                           MessageCase{"FilterDone", KVO_MT_FILTER, 0, ""},
                                           MessageCase{"ParserDone", KVO_MT_DATA_PARSER, 0, ""}),
                         CaseName());

TEST_F(DataPath, EmptyCompletionMessagesLogNothing) {
  instance_->MsgWriteComplete.clear();
  instance_->MsgWriteCompleteError.clear();
  HostList block(true);
  block.Int("a", 1).NewRow();
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, block.get()), 0);
  EXPECT_EQ(FetchLog(handle_), "");
  TheProbe().raise_in = {"OnProcessData"};
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, block.get()), -3);
  EXPECT_EQ(FetchLog(handle_), "");
}

TEST_F(DataPath, EveryCallStartsWithAnEmptyLog) {
  instance_->AddLogMessage(1, "old");
  HostList block(true);
  block.Int("a", 1).NewRow();
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, block.get()), 0);
  EXPECT_EQ(FetchLog(handle_), kComplete);
}

TEST_F(DataPath, ParametersWithoutLiveSignatureGiveMinusThreeAndLeaveData) {
  HostList block(true);
  block.Int("a", 1);
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_EXPORT);
  int32_t result;
  {
    BrokenSignature broken(parameters);
    result = ProcessWith(parameters, block.get());
  }
  EXPECT_EQ(result, -3);
  EXPECT_EQ(data_, block.get()) << "the host's variable is left as it was";
  EXPECT_EQ(block.Count(), 1) << "no marker";
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
}

TEST_F(DataPath, BlockWithoutLiveSignatureGivesMinusThree) {
  HostList block(true);
  block.Int("a", 1);
  int32_t result;
  {
    BrokenSignature broken(block);
    result = Process(KVO_MT_DATA_EXPORT, block.get());
  }
  EXPECT_EQ(result, -3);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
  EXPECT_EQ(block.Count(), 1);
}

TEST_F(DataPath, TypeThatIsNoNumberGivesMinusThree) {
  HostList parameters;
  parameters.Text("TYPE", "export");
  HostList block(true);
  EXPECT_EQ(ProcessWith(parameters, block.get()), -3);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
}

TEST_F(DataPath, NoEventAssignedAnswersZero) {
  instance_->OnProcessData = nullptr;
  HostList block(true);
  block.Int("a", 1);
  EXPECT_EQ(Process(KVO_MT_DATA_EXPORT, block.get()), 0);
  EXPECT_EQ(block.Count(), 2) << "the row is still closed";
  EXPECT_EQ(data_, nullptr);
  EXPECT_EQ(rows_, nullptr);
  EXPECT_EQ(FetchLog(handle_), "") << "no event, no completion message";
}

using DataBeforeLoad = PluginTest;

TEST_F(DataBeforeLoad, ProcessDataFailsWithTheErrorMessageAndLendsNoRows) {
  const int32_t handle = NextHandle();
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_FILTER);
  HostList block(true);
  block.Int("a", 1).NewRow();
  void* data = block.get();
  ::TParamsList* rows = block.get();
  EXPECT_EQ(ProcessData(handle, 1, parameters.get(), &data, &rows), -3);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(FetchLog(handle), kError);
  EXPECT_EQ(InstanceOf(handle)->ResultRows(), nullptr);
}

TEST_F(DataBeforeLoad, GetDataWithoutEventAnswersZero) {
  const int32_t handle = NextHandle();
  InstanceOf(handle)->OnGetData = nullptr;
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_QUERY);
  int something = 0;
  void* data = &something;
  ::TParamsList* rows = parameters.get();
  EXPECT_EQ(GetData(handle, 1, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(data, nullptr);
}

TEST_F(DataBeforeLoad, GetEventsHandsOutNothing) {
  const int32_t handle = NextHandle();
  HostList parameters;
  HostList other(true);
  ::TParamsList* events = other.get();
  EXPECT_EQ(GetEvents(handle, 1, parameters.get(), &events), 0);
  EXPECT_EQ(events, nullptr);
}

// --- GetData ---

TEST_F(DataPath, GetDataWithoutEventAnswersZeroAndClearsTheVariable) {
  instance_->OnGetData = nullptr;
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_QUERY);
  int something = 0;
  void* data = &something;
  ::TParamsList* rows = parameters.get();
  EXPECT_EQ(GetData(handle_, 1, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(data, nullptr);
}

TEST_F(DataPath, GetDataWithoutTypeLeavesTheVariable) {
  HostList parameters;
  int something = 0;
  void* data = &something;
  ::TParamsList* rows = parameters.get();
  EXPECT_EQ(GetData(handle_, 1, parameters.get(), &data, &rows), 0);
  EXPECT_EQ(data, &something);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(TheProbe().CountOf("OnGetData"), 0);
}

TEST_F(DataPath, GetDataLendsTheRowsTheEventMadeAndKeepsTheLog) {
  TheProbe().get_data = [](TkvoPlugin& sender, kvo::TParamsList*, void*& buffer, int32_t& result) {
    EXPECT_EQ(buffer, nullptr) << "the variable is cleared before the event";
    sender.ResultRows()->Add("made", Variant::FromInt(1));
    sender.ResultRows()->NewRow();
    result = 4;
  };
  instance_->AddLogMessage(1, "kept");
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_QUERY);
  int something = 0;
  void* data = &something;
  ::TParamsList* rows = nullptr;
  EXPECT_EQ(GetData(handle_, 9, parameters.get(), &data, &rows), 0) << "positive, but the variable is null";
  EXPECT_EQ(reinterpret_cast<kvo::TParamsList*>(rows), instance_->ResultRows());
  const std::vector<Call> calls = TheProbe().CallsOf("OnGetData");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, nullptr);
  EXPECT_EQ(calls[0].parameters, parameters.impl());
  EXPECT_EQ(calls[0].data_source_id, 9u);
  EXPECT_EQ(calls[0].types, static_cast<uint32_t>(KVO_MT_DATA_QUERY));
  EXPECT_EQ(FetchLog(handle_), "kept||1") << "GetData neither clears nor adds to the log";

  static char own_buffer[4];
  TheProbe().get_data = [](TkvoPlugin&, kvo::TParamsList*, void*& buffer, int32_t& result) {
    buffer = own_buffer;
    result = 4;
  };
  EXPECT_EQ(GetData(handle_, 9, parameters.get(), &data, &rows), 4);
  EXPECT_EQ(data, own_buffer);
}

TEST_F(DataPath, GetDataWhoseEventRaisesGivesMinusThreeAndTheErrorMessage) {
  TheProbe().raise_in = {"OnGetData"};
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_QUERY);
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  EXPECT_EQ(GetData(handle_, 1, parameters.get(), &data, &rows), -3);
  EXPECT_EQ(FetchLog(handle_), kError);
}

// --- GetEvents ---

TEST_F(DataPath, GetEventsHandsOutTheListThenEmptiesItOnAcknowledgement) {
  TRowsParamsList* list = instance_->EventRows();
  ASSERT_NE(list, nullptr);
  list->Add("event", Variant::FromText("ALARM"));
  list->NewRow();
  HostList parameters;
  ::TParamsList* events = nullptr;
  EXPECT_EQ(GetEvents(handle_, 1, parameters.get(), &events), 0);
  EXPECT_EQ(reinterpret_cast<kvo::TParamsList*>(events), list);
  EXPECT_EQ(kvo_params_count(events), 2) << "handing out does not empty";

  EXPECT_EQ(GetEvents(handle_, 1, parameters.get(), &events), 0);
  EXPECT_EQ(reinterpret_cast<kvo::TParamsList*>(events), list);
  EXPECT_EQ(list->Count(), 0) << "the same reference acknowledges";

  // A variable that refers elsewhere receives the list again.
  HostList other(true);
  list->Add("event", Variant::FromText("RESET"));
  events = other.get();
  EXPECT_EQ(GetEvents(handle_, 1, parameters.get(), &events), 0);
  EXPECT_EQ(reinterpret_cast<kvo::TParamsList*>(events), list);
  EXPECT_EQ(list->Count(), 1);
}

}  // namespace
}  // namespace kvo::plugin_test
