#include "kvo-host/module_driver.h"

#include <new>
#include <type_traits>

#include "platform/module.h"

namespace kvo::host {

PluginModule::PluginModule(std::string path) : path_(std::move(path)) {
  std::string error;
  module_ = platform::LoadModule(path_.c_str(), &error);
  if (module_ == nullptr) throw ModuleError("cannot load module " + path_ + ": " + error);
  std::string missing;
  auto look_up = [&](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(platform::ProcAddress(module_, name));
    if (slot == nullptr) missing += std::string(missing.empty() ? "" : ", ") + name;
  };
  look_up(exports_.GetPluginInterfaceVersion, "GetPluginInterfaceVersion");
  look_up(exports_.GetAppMinVersion, "GetAppMinVersion");
  look_up(exports_.GetModuleDescription, "GetModuleDescription");
  look_up(exports_.GetModuleType, "GetModuleType");
  look_up(exports_.MultiThreadSupport, "MultiThreadSupport");
  look_up(exports_.GetLogEx, "GetLogEx");
  look_up(exports_.GetCustomCommands, "GetCustomCommands");
  look_up(exports_.ShowOptionsDialog, "ShowOptionsDialog");
  look_up(exports_.ExecutePluginCommand, "ExecutePluginCommand");
  look_up(exports_.GetData, "GetData");
  look_up(exports_.GetEvents, "GetEvents");
  look_up(exports_.ProcessData, "ProcessData");
  if (!missing.empty()) {
    platform::UnloadModule(module_);
    throw ModuleError("module " + path_ + " lacks the export(s) " + missing);
  }
}

// The module stays loaded until the process ends: unloading it gains nothing then, and the module's data
// for this thread (kept by the thread, not the module) would outlive its code.
PluginModule::~PluginModule() = default;

OwnedParams::OwnedParams() : list_(kvo_params_new()) {
  if (list_ == nullptr) throw std::bad_alloc();
}
OwnedParams::~OwnedParams() {
  kvo_params_free(list_);
}
OwnedParams& OwnedParams::Text(const char* name, const std::string& value) {
  if (kvo_params_add_text(list_, name, value.c_str()) != 1) throw std::bad_alloc();
  return *this;
}
OwnedParams& OwnedParams::Int(const char* name, int32_t value) {
  if (kvo_params_add_int(list_, name, value) != 1) throw std::bad_alloc();
  return *this;
}

int32_t FilterSession::Command(const char* command, OwnedParams& parameters) {
  parameters.Text("COMMAND", command);
  return x_.ExecutePluginCommand(handle_, parameters.get());
}

int32_t FilterSession::SetItems(const std::string& items) {
  OwnedParams parameters;
  parameters.Text("ITEMS", items);
  return Command("SET ITEMS", parameters);
}

int32_t FilterSession::Load(const LoadOptions& options) {
  OwnedParams parameters;
  parameters.Int("ModuleIndex", options.module_index);
  if (!options.ini_file.empty()) parameters.Text("INI-FILE", options.ini_file);
  ini_file_ = options.ini_file;
  if (!options.section_prefix.empty()) parameters.Text("INISectionPrefix", options.section_prefix);
  if (!options.registry_path.empty()) parameters.Text("RegistryPath", options.registry_path);
  if (!options.language.empty()) parameters.Text("LANGUAGE", options.language);
  if (options.messages_handle != 0) {
    parameters.Int("MessagesProcessorHandle", static_cast<int32_t>(options.messages_handle));
  }
  return Command("LOAD", parameters);
}

int32_t FilterSession::EnableFilter() {
  OwnedParams parameters;
  parameters.Int("RESULT", 1).Int("TYPE", KVO_MT_FILTER);
  return Command("SET-STATE", parameters);
}

int32_t FilterSession::Unload() {
  OwnedParams parameters;
  // The same file as at "LOAD": an "UNLOAD" naming another store (or none) saves the settings there.
  if (!ini_file_.empty()) parameters.Text("INI-FILE", ini_file_);
  return Command("UNLOAD", parameters);
}

void FilterSession::ShowOptionsDialog() {
  OwnedParams parameters;
  parameters.Int("TYPE", KVO_MT_FILTER);
  if (!ini_file_.empty()) parameters.Text("INI-FILE", ini_file_);
  x_.ShowOptionsDialog(handle_, parameters.get());
}

int32_t FilterSession::Process(TParamsList* block, TParamsList** rows) {
  TParamsList* call = shared_call_;
  if (call == nullptr) {
    if (!filter_call_) {
      filter_call_ = std::make_unique<OwnedParams>();
      filter_call_->Int("TYPE", KVO_MT_FILTER);
    }
    call = filter_call_->get();
  }
  void* data = block;
  *rows = nullptr;
  return x_.ProcessData(handle_, 0, call, &data, rows);
}

std::string FilterSession::FetchLog() {
  int32_t needed = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int32_t got =
        x_.GetLogEx(handle_, log_buffer_.data(), static_cast<int32_t>(log_buffer_.size()), &needed);
    if (got > 0) return std::string(log_buffer_.data(), static_cast<std::size_t>(got));
    if (needed <= 0) return {};
    // Too small: grow to what the module needs (the log may grow again before the next call).
    log_buffer_.resize(static_cast<std::size_t>(needed) * 2);
  }
  return {};
}

std::string ItemListText(const std::vector<std::string>& columns, const std::vector<ValueKind>& kinds) {
  std::string text;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += "\r\n";
    // The item list has no escaping: a name's "|" and line breaks cannot be told apart from the format's.
    std::string name = columns[i];
    for (char& c : name) {
      if (c == '|' || c == '\r' || c == '\n') c = '_';
    }
    text += std::to_string(i + 1) + "|" + name + "|";
    if (i < kinds.size()) text += ItemTypeName(kinds[i]);
    text += "|";
  }
  return text;
}

}  // namespace kvo::host
