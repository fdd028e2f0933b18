// The data cores: ProcessData, GetData and GetEvents inside the instance.
#include <cstring>
#include <mutex>

#include "params/errors.h"
#include "plugin/host_params.h"
#include "plugin/plugin_component.h"

namespace kvo {
namespace {

// "TYPE" among the first few elements, found by comparing each stored key with "type" as one word; the
// same first match as a lookup, without folding a key.
[[gnu::always_inline]] inline const TParamsListElement* FindType(const TParamsList* parameters) {
  const int32_t count = parameters->Count();
  if (count > 4) return parameters->FindByName("TYPE");
  constexpr uint32_t kKey = 't' | 'y' << 8 | 'p' << 16 | uint32_t{'e'} << 24;
  for (int32_t i = 0; i < count; ++i) {
    const TParamsListElement* element = parameters->Element(i);
    const std::string_view key = element->LowerName();
    uint32_t word;
    if (key.size() == 4 && (std::memcpy(&word, key.data(), 4), word == kKey)) return element;
  }
  return nullptr;
}

// Inline: the data path reads it on every call.
[[gnu::always_inline]] inline TModuleTypes CallType(const TkvoPlugin& plugin, const TParamsList* parameters) {
  const TParamsListElement* type = FindType(parameters);
  if (!type) return TModuleTypes();
  // A 32-bit integer, as hosts send it, needs no conversion.
  if (type->Value().type() == platform::kVtI4) {
    return TModuleTypes::FromMask(static_cast<uint32_t>(type->Value().raw().lVal) & 0xFFu);
  }
  return plugin.ModuleTypesFromValue(type->Value(), false);
}

void CheckSignature(const TParamsList* list) {
  if (list->Signature() != kParamsListSignature) {
    throw EAssertionFailed("Assertion failure (kvoShared/Private/Plugins/kvoPluginModule, line 1249)");
  }
}

}  // namespace

int32_t TkvoPlugin::DoProcessData(uint32_t data_source_id, TParamsList* parameters, void** data,
                                  TParamsList** rows) {
  int32_t result = 0;
  *rows = nullptr;
  ClearLog();
  void* const original = *data;
  TModuleTypes call_type;
  TParamsList* block = nullptr;
  try {
    CheckSignature(parameters);
    call_type = CallType(*this, parameters);
    // The block procedure's calls: what the general path below does for them, without the event's
    // general form. Neither a query, an export nor an event: no log entry, no row marker to add, and the
    // block stays the host's.
    constexpr uint32_t kGeneralOnly = TModuleTypes{mttDataQuery}.Mask() | TModuleTypes{mttDataExport}.Mask() |
                                      TModuleTypes{mttEventsHandling}.Mask();
    auto* const live = static_cast<TParamsList*>(original);
    if (FBlockProc && !call_type.Empty() && (call_type.Mask() & kGeneralOnly) == 0 && live &&
        live->Signature() == kParamsListSignature && live->Count() > 0 &&
        OnProcessData.IsPlain(FBlockHandler, FBlockContext)) {
      if (TRowsParamsList* results = ResultRows()) {
        try {
          result = FBlockProc(FBlockContext, live, results);
          if (results->Count() > 0) *rows = results;
        } catch (...) {
          result = -3;
          LogMessageProperty(1, MsgWriteCompleteError);
        }
        *data = nullptr;
        return result;
      }
    }
    if (call_type.Empty()) {
      if (*data == original) *data = nullptr;
      return 0;
    }
    block = static_cast<TParamsList*>(original);
    // A block that is no live list would be read as garbage: refuse it like bad parameters.
    if (block) CheckSignature(block);
    if (block && !call_type.Contains(mttDataQuery) && block->Count() == 0) block = nullptr;
    if (call_type.Contains(mttDataExport)) {
      if (!block) {
        LogMessageProperty(1, MsgNoData);
        if (*data == original) *data = nullptr;
        return 0;
      }
      if (block->IsRowsList() && block->Count() > 0 && !block->Element(block->Count() - 1)->IsRowMarker()) {
        block->NewRow();
      }
    }
  } catch (...) {
    return -3;
  }

  if (OnProcessData) {
    TRowsParamsList* results = ResultRows();
    try {
      // Before the first "LOAD" there is no result list to lend: the call is reported as failed rather
      // than run with rows that could never reach the host.
      if (!results) throw Exception("no result rows before LOAD");
      OnProcessData(*this, data_source_id, call_type, block, parameters, *data, result);
      if (results->Count() > 0) *rows = results;
      if (result > 0 && *data == nullptr) result = 0;
      if (call_type.Contains(mttDataExport) || call_type.Contains(mttEventsHandling)) {
        if (result < 0) {
          LogMessageProperty(1, MsgWriteCompleteError);
        } else {
          LogMessageProperty(2, MsgWriteComplete);
        }
      }
    } catch (...) {
      result = -3;
      LogMessageProperty(1, MsgWriteCompleteError);
    }
  }
  if (*data == original) *data = nullptr;
  return result;
}

void TkvoPlugin::LogMessageProperty(uint8_t kind, const std::string& message) {
  std::string text;
  {
    std::lock_guard guard(FLock);
    text = message;
  }
  if (!text.empty()) AddLogMessage(kind, text);
}

int32_t TkvoPlugin::DoGetData(uint32_t data_source_id, TParamsList* parameters, void** data,
                              TParamsList** rows) {
  int32_t result = 0;
  *rows = nullptr;
  const TModuleTypes call_type = CallType(*this, parameters);
  if (call_type.Empty()) return 0;
  *data = nullptr;
  if (OnGetData) {
    try {
      OnGetData(*this, data_source_id, call_type, nullptr, parameters, *data, result);
      if (TRowsParamsList* results = ResultRows(); results && results->Count() > 0) *rows = results;
      if (result > 0 && *data == nullptr) result = 0;
    } catch (...) {
      result = -3;
      LogMessageProperty(1, MsgWriteCompleteError);
    }
  }
  return result;
}

int32_t TkvoPlugin::DoGetEvents(TParamsList** events) {
  TRowsParamsList* list = EventRows();
  if (list && *events == list) {
    list->Clear();
  } else {
    *events = list;
  }
  return 0;
}

}  // namespace kvo
