// The command dispatcher: what every command does first, and the framework's own commands.
#include "kvo/kvo_plugin.h"
#include "params/boundary.h"
#include "plugin/host_params.h"
#include "plugin/plugin_component.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

// The data source number of a line or list element; false when it is no integer or is -1.
bool SourceId(std::string_view text, int32_t* id) {
  try {
    int32_t value = Variant::FromText(text).ToInt();
    if (value == -1) return false;
    *id = value;
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

int32_t TkvoPlugin::ExecuteCommand(const std::string& command, TParamsList* parameters) {
  int32_t result = KVO_RESULT_NOT_HANDLED;
  const bool language_applied = AtBoundary(false, [&] {
    ApplyLanguageParam(parameters);
    return true;
  });
  if (!language_applied) return KVO_RESULT_EXCEPTION;
  if (const Variant* handle = FindParam(parameters, "MessagesProcessorHandle")) {
    // A failed conversion ends the command with KVO_RESULT_EXCEPTION at the export.
    FHost.SetMessagesProcessorHandle(handle->ToInt());
  }

  if (command == "LOAD" || command == "UNLOAD") {
    result = AtBoundary(KVO_RESULT_EXCEPTION, [&] {
      command == "LOAD" ? DoLoad(parameters) : DoUnload(parameters);
      return 0;
    });
  } else if (command == "SET ITEMS") {
    const TParamsListElement* items = parameters ? parameters->FindByName("ITEMS") : nullptr;
    if (!items || !IsText(items->Value())) return KVO_RESULT_REFUSED;
    FParserItems.SetFromText(items->Value().ToText());
    OnSetParserItems(*this);
    result = 0;
  } else if (command == "ITEMS") {
    TParamsListElement* element = parameters ? parameters->FindByName("RESULT") : nullptr;
    if (!element) return KVO_RESULT_REFUSED;
    OnBeforeGetParserItems(*this);
    element->SetValue(Variant::FromText(FParserItems.BuildText()));
    result = 0;
  } else if (command == "SET-STATE") {
    result = CommandSetState(parameters);
  } else if (command == "EVENTS-SUPPORT") {
    if (TParamsListElement* element = parameters ? parameters->FindByName("RESULT") : nullptr) {
      element->SetValue(Variant::FromText(EventsSupported));
    }
    result = 0;
  } else if (command == "EVENT") {
    result = CommandEvent(parameters);
  } else if (command == "SAVE-SETTINGS-NOW" || command == "LOAD-SETTINGS-NOW") {
    result = CommandSettingsNow(command == "LOAD-SETTINGS-NOW", parameters);
  } else {
    result = AtBoundary(KVO_RESULT_EXCEPTION, [&] {
      OnExecuteCustomCommand(*this, command, parameters, result);
      return result;
    });
  }
  return result;
}

void TkvoPlugin::SetDataSourcesFromLines(std::string_view text) {
  std::vector<TConfigDataSource> sources;
  for (std::string_view line : text::SplitLines(text)) {
    try {
      TConfigDataSource source;
      if (!SourceId(text::ExtractField(line, ";", 1, true).text, &source.ID)) continue;
      source.Text1 = text::ExtractField(line, ";", 2, true).text;
      source.Text2 = text::ExtractField(line, ";", 3, true).text;
      sources.push_back(std::move(source));
    } catch (...) {
      // A line that cannot be taken is skipped.
    }
  }
  FHost.SetDataSources(std::move(sources));
}

void TkvoPlugin::SetDataSourcesFromList(std::string_view text) {
  std::vector<TConfigDataSource> sources;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    TConfigDataSource source;
    if (SourceId(text.substr(start, comma - start), &source.ID)) sources.push_back(std::move(source));
    start = comma + 1;
  }
  FHost.SetDataSources(std::move(sources));
}

int32_t TkvoPlugin::CommandSetState(TParamsList* parameters) {
  if (const Variant* lines = FindParam(parameters, "SERIAL-PORTS-IN-CFG2")) {
    SetDataSourcesFromLines(lines->ToText());
  } else if (const Variant* list = FindParam(parameters, "SERIAL-PORTS-IN-CFG")) {
    SetDataSourcesFromList(list->ToText());
  }
  const Variant* result_value = FindParam(parameters, "RESULT");
  if (!result_value) return KVO_RESULT_REFUSED;
  const int32_t state = result_value->ToInt();
  const Variant* type_value = FindParam(parameters, "TYPE");
  if (!type_value) return KVO_RESULT_REFUSED;
  FHost.SetStates(static_cast<uint32_t>(type_value->ToInt()), state == 1);
  if (OnStateChanged) OnStateChanged(*this, ModuleTypesFromValue(*type_value, false));
  return 0;
}

int32_t TkvoPlugin::CommandEvent(TParamsList* parameters) {
  const Variant* type = FindParam(parameters, "EVENT-TYPE");
  if (!type) return KVO_RESULT_REFUSED;
  return AtBoundary(KVO_RESULT_EXCEPTION, [&] {
    int32_t result = KVO_RESULT_REFUSED;
    const std::string text = type->ToText();
    if (!OnEvent) return 0;
    OnEvent(*this, text, parameters, result);
    return result;
  });
}

int32_t TkvoPlugin::CommandSettingsNow(bool load, TParamsList* parameters) {
  // The named store is this thread's only: the options dialog, a first "LOAD" or a reload running on
  // another thread meanwhile keep the instance's own, so a user's settings never land in this file.
  std::string ini_file;
  ReadIniFileParam(parameters, false, ini_file);
  return AtBoundary(KVO_RESULT_EXCEPTION, [&] {
    if (load) {
      {
        SettingsFile::Override named(FSettingsFile, ini_file);
        OnLoadSettingsNow(*this);
      }
      OnSaveSettingsNow(*this);  // what was just loaded goes to the instance's own store
    } else {
      SettingsFile::Override named(FSettingsFile, ini_file);
      OnSaveSettingsNow(*this);
    }
    return 0;
  });
}

}  // namespace kvo
