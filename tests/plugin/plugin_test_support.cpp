// The test module, the probe it records into, and the host-side helpers.
#include "plugin_test_support.h"

#include <stdexcept>
#include <utility>

namespace kvo::plugin_test {
namespace {

bool WantsFailure(kvo::TParamsList* parameters) {
  if (!parameters) return false;
  try {
    const TParamsListElement* element = parameters->FindByName("FAIL");
    return element && !IsMissing(element->Value()) && element->Value().ToInt() == 1;
  } catch (...) {
    return false;  // a list that cannot be read does not ask for a failure
  }
}

// Fills the fields every call has, appends the call to the probe and returns a copy of the hook chosen
// by `pick`, so that the hook runs without the probe's lock.
template <typename Hook>
Hook Record(TkvoPlugin& sender, Call call, Hook Probe::*hook) {
  call.handle = sender.Handle();
  call.ini_file = sender.INIFile();
  call.language = sender.Language();
  call.in_options_dialog = sender.InOptionsDialog();
  Probe& probe = TheProbe();
  std::lock_guard guard(probe.lock);
  probe.calls.push_back(std::move(call));
  return hook ? probe.*hook : Hook();
}

void Record(TkvoPlugin& sender, Call call) {
  Record<DataHook>(sender, std::move(call), nullptr);
}

void RaiseIfAsked(const std::string& event) {
  bool raise;
  {
    Probe& probe = TheProbe();
    std::lock_guard guard(probe.lock);
    raise = probe.raise_in.count(event) > 0;
  }
  if (raise) throw std::runtime_error(event + " raised on purpose");
}

Call Named(const char* event) {
  Call call;
  call.event = event;
  return call;
}

void BindNotify(TOnPluginNotifyEvent& target, const char* name) {
  target = [name](TkvoPlugin& sender) {
    Record(sender, Named(name));
    RaiseIfAsked(name);
  };
}

void BindCommand(TExecutePluginCommandEvent& target, const char* name) {
  target = [name](TkvoPlugin& sender, kvo::TParamsList* parameters, int32_t&) {
    Call call = Named(name);
    call.parameters = parameters;
    Record(sender, std::move(call));
    RaiseIfAsked(name);
  };
}

void BindCustom(TExecutePluginCustomCommandEvent& target, const char* name, CommandHook Probe::*hook) {
  target = [name, hook](TkvoPlugin& sender, const std::string& command, kvo::TParamsList* parameters,
                        int32_t& result) {
    Call call = Named(name);
    call.text = command;
    call.parameters = parameters;
    CommandHook run = Record(sender, std::move(call), hook);
    if (run) run(sender, command, parameters, result);
    RaiseIfAsked(name);
  };
}

void BindData(TOnProcessData& target, const char* name, DataHook Probe::*hook) {
  target = [name, hook](TkvoPlugin& sender, uint32_t data_source_id, TModuleTypes call_type,
                        kvo::TParamsList* data, kvo::TParamsList* device, void*& buffer, int32_t& result) {
    Call call = Named(name);
    call.types = call_type.Mask();
    call.data = data;
    call.parameters = device;
    call.data_source_id = data_source_id;
    call.buffer = buffer;
    if (data) {
      call.data_count = data->Count();
      if (data->Count() > 0) call.data_last_name = std::string(data->Element(data->Count() - 1)->Name());
    }
    DataHook run = Record(sender, std::move(call), hook);
    if (run) run(sender, data, buffer, result);
    RaiseIfAsked(name);
  };
}

}  // namespace

// --- probe ---

Probe& TheProbe() {
  static Probe probe;
  return probe;
}

void Probe::Reset() {
  std::lock_guard guard(lock);
  calls.clear();
  destroyed.clear();
  constructed = 0;
  raise_in.clear();
  process_data = nullptr;
  get_data = nullptr;
  custom_command = nullptr;
  event = nullptr;
  options_dialog = nullptr;
}

std::vector<Call> Probe::CallsOf(const std::string& event_name) {
  std::lock_guard guard(lock);
  std::vector<Call> found;
  for (const Call& call : calls) {
    if (call.event == event_name) found.push_back(call);
  }
  return found;
}

int Probe::CountOf(const std::string& event_name) {
  return static_cast<int>(CallsOf(event_name).size());
}

std::vector<std::string> Probe::EventNames() {
  std::lock_guard guard(lock);
  std::vector<std::string> names;
  for (const Call& call : calls)
    names.push_back(call.event);
  return names;
}

// --- the test module ---

TestPlugin::TestPlugin(kvo::TParamsList* parameters) : TkvoPlugin(parameters) {
  if (WantsFailure(parameters)) throw std::runtime_error("construction refused on purpose");
  MinVersion = kTestMinVersion;
  Description = kTestDescription;
  ModuleType = TModuleTypes{mttFilter};
  EventsSupported = "ALARM\r\nRESET";

  OnShowOptionsDialog = [](TkvoPlugin& sender, TModuleTypes call_type, kvo::TParamsList* list,
                           bool& success) {
    Call call = Named("OnShowOptionsDialog");
    call.types = call_type.Mask();
    call.parameters = list;
    DialogHook run = Record(sender, std::move(call), &Probe::options_dialog);
    if (run) run(sender, success);
    RaiseIfAsked("OnShowOptionsDialog");
  };
  BindCustom(OnExecuteCustomCommand, "OnExecuteCustomCommand", &Probe::custom_command);
  BindCustom(OnEvent, "OnEvent", &Probe::event);
  BindCommand(OnLoad, "OnLoad");
  BindCommand(OnUnload, "OnUnload");
  BindNotify(OnSaveSettingsNow, "OnSaveSettingsNow");
  BindNotify(OnLoadSettingsNow, "OnLoadSettingsNow");
  BindNotify(OnSetParserItems, "OnSetParserItems");
  BindNotify(OnBeforeGetParserItems, "OnBeforeGetParserItems");
  BindNotify(OnChangeLanguage, "OnChangeLanguage");
  OnStateChanged = [](TkvoPlugin& sender, TModuleTypes module_types) {
    Call call = Named("OnStateChanged");
    call.types = module_types.Mask();
    Record(sender, std::move(call));
    RaiseIfAsked("OnStateChanged");
  };
  BindData(OnProcessData, "OnProcessData", &Probe::process_data);
  OnCreate = [](TObject&) { RaiseIfAsked("OnCreate"); };
  BindData(OnGetData, "OnGetData", &Probe::get_data);

  Probe& probe = TheProbe();
  std::lock_guard guard(probe.lock);
  ++probe.constructed;
}

TestPlugin::~TestPlugin() {
  Probe& probe = TheProbe();
  std::lock_guard guard(probe.lock);
  probe.destroyed.push_back(Handle());
}

// --- host lists ---

HostList& HostList::Text(const char* name, const std::string& value) {
  EXPECT_EQ(kvo_params_add_text(list_, name, value.c_str()), 1) << name;
  return *this;
}

HostList& HostList::Int(const char* name, int32_t value) {
  EXPECT_EQ(kvo_params_add_int(list_, name, value), 1) << name;
  return *this;
}

HostList& HostList::Empty(const char* name) {
  EXPECT_EQ(kvo_params_add_empty(list_, name), 1) << name;
  return *this;
}

HostList& HostList::Null(const char* name) {
  EXPECT_EQ(kvo_params_add_null(list_, name), 1) << name;
  return *this;
}

HostList& HostList::NewRow() {
  kvo_params_new_row(list_);
  return *this;
}

std::string HostList::TextOf(const char* name) const {
  const int32_t index = kvo_params_index_of(list_, name);
  if (index < 0) return "<missing>";
  const int32_t length = kvo_params_text(list_, index, nullptr, 0);
  if (length < 0) return "<no text>";
  std::string text(static_cast<size_t>(length) + 1, '\0');
  kvo_params_text(list_, index, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

uint16_t HostList::TypeOf(const char* name) const {
  return kvo_params_type(list_, kvo_params_index_of(list_, name));
}

BrokenSignature::BrokenSignature(const HostList& list)
    // The signature follows the table of operations, the item array, the count and the capacity.
    : word_(reinterpret_cast<uint32_t*>(list.get()) + (2 * sizeof(void*) + 8) / 4) {
  EXPECT_EQ(*word_, KVO_PARAMS_SIGNATURE);
  *word_ = 0;
  EXPECT_EQ(kvo_params_signature(list.get()), 0u);
}

BrokenSignature::~BrokenSignature() {
  *word_ = KVO_PARAMS_SIGNATURE;
}

// --- registry helpers ---

int32_t NextHandle() {
  static std::atomic<int32_t> next{1000};
  return next.fetch_add(7);
}

TkvoPlugin* InstanceOf(int32_t handle) {
  TkvoPlugin* instance = nullptr;
  EXPECT_TRUE(GetPluginInstance(handle, nullptr, &instance)) << handle;
  return instance;
}

int InstanceCount() {
  int count = 0;
  ForEachPluginInstance([&](TkvoPlugin&) { ++count; });
  return count;
}

int32_t Execute(int32_t handle, const char* command, HostList& extra) {
  extra.Text("COMMAND", command);
  return ExecutePluginCommand(handle, extra.get());
}

int32_t Execute(int32_t handle, const char* command) {
  HostList parameters;
  return Execute(handle, command, parameters);
}

std::string FetchLog(int32_t handle) {
  int32_t needed = -1;
  EXPECT_EQ(GetLogEx(handle, nullptr, 0, &needed), 0);
  std::string text(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
  const int32_t copied = GetLogEx(handle, text.data(), needed, &needed);
  EXPECT_EQ(copied, static_cast<int32_t>(text.size()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

std::string PendingLog(int32_t handle) {
  return InstanceOf(handle)->Log().Text();
}

// --- fixture ---

void PluginTest::SetUp() {
  ShutdownPluginInstances();
  TheProbe().Reset();
  RegisterPluginClass(&CreatePluginOf<TestPlugin>);
}

void PluginTest::TearDown() {
  ShutdownPluginInstances();
  TheProbe().Reset();
}

}  // namespace kvo::plugin_test
