// The exports' answers to calls a careful host never makes: null out-pointers, null or too small buffers,
// negative sizes, and parameter lists that are not null but not live. Each gets a failure value and leaves
// the host's variables and the instance as they were.
#include <climits>
#include <functional>
#include <string>

#include "plugin_test_support.h"

namespace kvo::plugin_test {
namespace {

// --- GetLogEx / GetCustomCommands buffer protocol ---

using FetchExport = int32_t(KVO_CALL*)(int32_t, char*, int32_t, int32_t*);

struct BufferCase {
  const char* name;
  bool commands;  // GetCustomCommands, else GetLogEx
  bool null_buffer;
  int32_t size;  // INT32_MAX stands for "the exact length"
  bool null_needed;
};

class BufferCorner : public PluginTest, public ::testing::WithParamInterface<BufferCase> {};

constexpr const char* kCommandText = "A|First||0|1\r\n";
constexpr const char* kLogText = "pending||1";

TEST_P(BufferCorner, GivesZeroTellsTheSizeAndKeepsEverything) {
  const BufferCase& c = GetParam();
  const int32_t handle = NextHandle();
  TkvoPlugin* instance = InstanceOf(handle);
  instance->ModuleType = TModuleTypes{mttFilter, mttMenuExt};
  instance->CustomCommands().Add(TkvoPluginCustomCmd{"A", "First", "", 0, 1});
  instance->AddLogMessage(1, "pending");
  const FetchExport fetch = c.commands ? &GetCustomCommands : &GetLogEx;
  const std::string text = c.commands ? kCommandText : kLogText;
  const auto length = static_cast<int32_t>(text.size());

  std::string buffer(text.size() + 8, '#');
  const std::string untouched = buffer;
  int32_t needed = 12345;
  const int32_t size = c.size == INT32_MAX ? length : c.size;
  EXPECT_EQ(fetch(handle, c.null_buffer ? nullptr : buffer.data(), size, c.null_needed ? nullptr : &needed),
            0);
  EXPECT_EQ(needed, c.null_needed ? 12345 : length);
  EXPECT_EQ(buffer, untouched);
  EXPECT_EQ(PendingLog(handle), kLogText);
  // The same call with a proper buffer still gets the whole text afterwards.
  EXPECT_EQ(fetch(handle, buffer.data(), static_cast<int32_t>(buffer.size()), &needed), length);
  EXPECT_EQ(buffer.substr(0, text.size()), text);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, BufferCorner,
    ::testing::Values(BufferCase{"LogNullNeeded", false, false, 64, true},
                      BufferCase{"LogNullNeededNullBuffer", false, true, 64, true},
                      BufferCase{"LogNullBufferPositiveSize", false, true, 64, false},
                      BufferCase{"LogNullBufferExactSize", false, true, INT32_MAX, false},
                      BufferCase{"LogNegativeSize", false, false, -1, false},
                      BufferCase{"LogMostNegativeSize", false, false, INT32_MIN, false},
                      BufferCase{"CommandsNullNeeded", true, false, 64, true},
                      BufferCase{"CommandsNullNeededNullBuffer", true, true, 64, true},
                      BufferCase{"CommandsNullBufferPositiveSize", true, true, 64, false},
                      BufferCase{"CommandsNullBufferExactSize", true, true, INT32_MAX, false},
                      BufferCase{"CommandsNegativeSize", true, false, -1, false},
                      BufferCase{"CommandsMostNegativeSize", true, false, INT32_MIN, false}),
    CaseName());

// --- the data exports and commands: null out-pointers, lists that are not live ---

// The host's variables of one call; each starts as a sentinel so that any write shows.
struct HostVars {
  HostList block{true};
  HostList other{true};
  void* data = nullptr;
  ::TParamsList* rows = nullptr;
  ::TParamsList* events = nullptr;
  HostVars() {
    block.Int("a", 1).NewRow();
    data = block.get();
    rows = other.get();
    events = other.get();
  }
};

using ExportCall = std::function<int32_t(int32_t handle, ::TParamsList* parameters, HostVars& vars)>;

struct NullCase {
  const char* name;
  ExportCall call;
};

class NullPointer : public PluginTest, public ::testing::WithParamInterface<NullCase> {};

TEST_P(NullPointer, AnswersMinusOneBeforeTouchingAnything) {
  const int32_t loaded = NextHandle();
  ASSERT_EQ(Execute(loaded, "LOAD"), 0);
  HostList parameters;
  parameters.Int("TYPE", KVO_MT_DATA_EXPORT);
  const int before = InstanceCount();
  for (const int32_t handle : {loaded, NextHandle()}) {
    HostVars vars;
    EXPECT_EQ(GetParam().call(handle, parameters.get(), vars), -1) << "handle " << handle;
    EXPECT_EQ(vars.data, vars.block.get());
    EXPECT_EQ(vars.rows, vars.other.get());
    EXPECT_EQ(vars.events, vars.other.get());
  }
  EXPECT_EQ(InstanceCount(), before) << "no instance made for the new handle";
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnGetData"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, NullPointer,
    ::testing::Values(
        NullCase{"ProcessDataNullData", [](int32_t h, ::TParamsList* p,
                                           HostVars& v) { return ProcessData(h, 1, p, nullptr, &v.rows); }},
        NullCase{"ProcessDataNullRows", [](int32_t h, ::TParamsList* p,
                                           HostVars& v) { return ProcessData(h, 1, p, &v.data, nullptr); }},
        NullCase{"GetDataNullData",
                 [](int32_t h, ::TParamsList* p, HostVars& v) { return GetData(h, 1, p, nullptr, &v.rows); }},
        NullCase{"GetDataNullRows",
                 [](int32_t h, ::TParamsList* p, HostVars& v) { return GetData(h, 1, p, &v.data, nullptr); }},
        NullCase{"GetEventsNullEvents",
                 [](int32_t h, ::TParamsList* p, HostVars&) { return GetEvents(h, 1, p, nullptr); }}),
    CaseName());

struct NotLiveCase {
  const char* name;
  ExportCall call;
  bool empty_list;  // a list without elements, whose count alone would let a lookup skip the signature
  bool nulls_rows = false;  // the host's Rows variable is nulled, so a stale pointer cannot be reused
};

class NotLiveList : public PluginTest, public ::testing::WithParamInterface<NotLiveCase> {};

int32_t ProcessCall(int32_t h, ::TParamsList* p, HostVars& v) {
  return ProcessData(h, 1, p, &v.data, &v.rows);
}
int32_t GetDataCall(int32_t h, ::TParamsList* p, HostVars& v) {
  return GetData(h, 1, p, &v.data, &v.rows);
}
int32_t GetEventsCall(int32_t h, ::TParamsList* p, HostVars& v) {
  return GetEvents(h, 1, p, &v.events);
}
int32_t CommandCall(int32_t h, ::TParamsList* p, HostVars&) {
  return ExecutePluginCommand(h, p);
}

TEST_P(NotLiveList, AnswersMinusThreeBeforeTouchingAnything) {
  const NotLiveCase& c = GetParam();
  const int32_t loaded = NextHandle();
  ASSERT_EQ(Execute(loaded, "LOAD"), 0);
  HostList parameters;
  if (!c.empty_list) parameters.Text("COMMAND", "UNLOAD").Int("TYPE", KVO_MT_DATA_EXPORT);
  const int before = InstanceCount();
  const int32_t fresh = NextHandle();
  for (const int32_t handle : {loaded, fresh}) {
    HostVars vars;
    int32_t result;
    {
      BrokenSignature broken(parameters);
      result = c.call(handle, parameters.get(), vars);
      EXPECT_EQ(c.call(0, parameters.get(), vars), -1) << "handle 0 stays a bad call";
    }
    EXPECT_EQ(result, -3) << "handle " << handle;
    EXPECT_EQ(vars.data, vars.block.get());
    EXPECT_EQ(vars.rows, c.nulls_rows ? nullptr : vars.other.get());
    EXPECT_EQ(vars.events, vars.other.get());
    EXPECT_EQ(vars.block.Count(), 2);
  }
  EXPECT_EQ(InstanceCount(), before) << "no instance made from such a list";
  EXPECT_EQ(InstanceOf(loaded)->LoadCount(), 1);
  EXPECT_EQ(TheProbe().CountOf("OnProcessData"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnGetData"), 0);
  EXPECT_EQ(TheProbe().CountOf("OnUnload"), 0);
}

INSTANTIATE_TEST_SUITE_P(Exports, NotLiveList,
                         ::testing::Values(NotLiveCase{"ProcessData", ProcessCall, false, true},
                                           NotLiveCase{"ProcessDataEmptyList", ProcessCall, true, true},
                                           NotLiveCase{"GetData", GetDataCall, false, true},
                                           NotLiveCase{"GetDataEmptyList", GetDataCall, true, true},
                                           NotLiveCase{"GetEvents", GetEventsCall, false},
                                           NotLiveCase{"GetEventsEmptyList", GetEventsCall, true},
                                           NotLiveCase{"ExecutePluginCommand", CommandCall, false},
                                           NotLiveCase{"ExecutePluginCommandEmptyList", CommandCall, true}),
                         CaseName());

class OptionsDialogCorner : public PluginTest {};

TEST_F(OptionsDialogCorner, ListThatIsNotLiveDoesNothing) {
  const int32_t loaded = NextHandle();
  ASSERT_EQ(Execute(loaded, "LOAD"), 0);
  const int before = InstanceCount();
  for (const bool empty : {true, false}) {
    HostList parameters;
    if (!empty) parameters.Int("TYPE", KVO_MT_FILTER);
    BrokenSignature broken(parameters);
    ShowOptionsDialog(loaded, parameters.get());
    ShowOptionsDialog(NextHandle(), parameters.get());
  }
  EXPECT_EQ(InstanceCount(), before);
  EXPECT_EQ(TheProbe().CountOf("OnShowOptionsDialog"), 0);
}

}  // namespace
}  // namespace kvo::plugin_test
