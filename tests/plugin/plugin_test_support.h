// Shared pieces of the plug-in framework tests: a test module class whose events record what they see
// into one process-wide probe, host-side parameter lists made through the host SDK, and a fixture that
// starts every test from an empty instance registry with the test module registered.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kvo/kvo_host.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_component.h"
#include "plugin/plugin_registry.h"

namespace kvo::plugin_test {

// What one event handler of the test module saw when it ran.
struct Call {
  std::string event;  // "OnLoad", "OnProcessData", ...
  int32_t handle = 0;
  std::string text;      // command, event type (OnExecuteCustomCommand, OnEvent)
  std::string ini_file;  // the instance's INI file while the handler ran
  std::string language;  // the instance's language while the handler ran
  uint32_t types = 0;    // the module type set the handler received, as a mask
  kvo::TParamsList* data = nullptr;
  kvo::TParamsList* parameters = nullptr;  // Parameters / Device
  int32_t data_count = -1;                 // elements of `data` when it was not null
  std::string data_last_name;              // name of the last element of `data`, when there is one
  uint32_t data_source_id = 0;
  bool in_options_dialog = false;
  void* buffer = nullptr;  // the value of InOutBinaryBuffer on entry
};

using DataHook =
    std::function<void(TkvoPlugin& sender, kvo::TParamsList* data, void*& buffer, int32_t& result)>;
using CommandHook = std::function<void(TkvoPlugin& sender, const std::string& command,
                                       kvo::TParamsList* parameters, int32_t& result)>;
using DialogHook = std::function<void(TkvoPlugin& sender, bool& success)>;

// The process-wide record the test module writes to. Every handler records its call under `lock`, then
// runs its hook (when set), then raises when its event name is in `raise_in`.
struct Probe {
  std::mutex lock;
  std::vector<Call> calls;
  std::vector<int32_t> destroyed;  // handles, in destruction order
  int constructed = 0;
  std::set<std::string> raise_in;
  DataHook process_data;
  DataHook get_data;
  CommandHook custom_command;
  CommandHook event;
  DialogHook options_dialog;

  void Reset();
  std::vector<Call> CallsOf(const std::string& event_name);
  int CountOf(const std::string& event_name);
  std::vector<std::string> EventNames();
};

Probe& TheProbe();

// The test module. Its constructor sets the property values and binds every event; a construction whose
// parameters carry "FAIL" = 1 throws.
class TestPlugin : public TkvoPlugin {
 public:
  explicit TestPlugin(kvo::TParamsList* parameters);
  ~TestPlugin() override;
};

// Property values the test module starts with.
inline constexpr float kTestMinVersion = 3.5f;
inline constexpr const char* kTestDescription = "Test module";

// A parameter list the host owns, made and filled through the host SDK.
class HostList {
 public:
  explicit HostList(bool rows = false) : list_(rows ? kvo_rows_new() : kvo_params_new()) {}
  HostList(const HostList&) = delete;
  HostList& operator=(const HostList&) = delete;
  ~HostList() { kvo_params_free(list_); }

  HostList& Text(const char* name, const std::string& value);
  HostList& Int(const char* name, int32_t value);
  HostList& Empty(const char* name);
  HostList& Null(const char* name);
  HostList& NewRow();

  ::TParamsList* get() const { return list_; }
  kvo::TParamsList* impl() const { return reinterpret_cast<kvo::TParamsList*>(list_); }
  int32_t Count() const { return kvo_params_count(list_); }
  bool Has(const char* name) const { return kvo_params_index_of(list_, name) >= 0; }
  // The value of the first element with the name as text; "<missing>" / "<no text>" otherwise.
  std::string TextOf(const char* name) const;
  uint16_t TypeOf(const char* name) const;

 private:
  ::TParamsList* list_;
};

// Sets a list's signature to 0 for its lifetime, as a destroyed or foreign list would look, and puts the
// live value back so that the list can be destroyed normally.
class BrokenSignature {
 public:
  explicit BrokenSignature(const HostList& list);
  BrokenSignature(const BrokenSignature&) = delete;
  BrokenSignature& operator=(const BrokenSignature&) = delete;
  ~BrokenSignature();

 private:
  uint32_t* word_;
};

// A handle no other test uses.
int32_t NextHandle();
// The instance of `handle`, made when it is new (as the query exports make it: without parameters).
TkvoPlugin* InstanceOf(int32_t handle);
// The number of instances in the registry.
int InstanceCount();
// Runs `command` with the further parameters of `extra` (which gains "COMMAND").
int32_t Execute(int32_t handle, const char* command, HostList& extra);
int32_t Execute(int32_t handle, const char* command);
// Fetches the whole pending log through GetLogEx.
std::string FetchLog(int32_t handle);
// The pending log without fetching it.
std::string PendingLog(int32_t handle);

// Names the cases of a parameterised test after their `name` field.
struct CaseName {
  template <typename Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& case_info) const {
    return case_info.param.name;
  }
};

// Starts and ends every test with an empty registry and the test module registered.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace kvo::plugin_test
