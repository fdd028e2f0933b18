// The data cores: ProcessData, GetData and GetEvents inside the instance.
#include <cstring>
#include <mutex>

#include "params/errors.h"
#include "plugin/block_call.h"
#include "plugin/host_params.h"
#include "plugin/plugin_component.h"

namespace kvo {
namespace {

using block_call::CallType;

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
  if (parameters->Signature() == kParamsListSignature && TryBlockCall(parameters, data, rows, &result)) {
    return result;
  }
  ClearLog();
  void* const original = *data;
  TModuleTypes call_type;
  TParamsList* block = nullptr;
  try {
    CheckSignature(parameters);
    call_type = CallType(*this, parameters);
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
