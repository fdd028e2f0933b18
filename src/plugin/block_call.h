// The data path's hot form: the part of TkvoPlugin::DoProcessData that hands a block straight to the
// module's block procedure (see TkvoPlugin::SetBlockProc), inline so that the ProcessData export runs it
// without a call into the data core. It also reads a call's type ("TYPE") for both.
//
// Thread contract: as DoProcessData, [any-thread]: it uses only the calling thread's result rows and the
// fields the module fixed at construction.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "plugin/plugin_component.h"

namespace kvo {
namespace block_call {

// "TYPE" among the first few elements, found by comparing each stored key with "type" as one word; the
// same first match as a lookup, without folding a key.
inline const TParamsListElement* FindType(const TParamsList* parameters) {
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

// The call's module types from its "TYPE" parameter; empty without one.
inline TModuleTypes CallType(const TkvoPlugin& plugin, const TParamsList* parameters) {
  const TParamsListElement* type = FindType(parameters);
  if (!type) return TModuleTypes();
  // A 32-bit integer, as hosts send it, needs no conversion.
  if (type->Value().type() == platform::kVtI4) {
    return TModuleTypes::FromMask(static_cast<uint32_t>(type->Value().raw().lVal) & 0xFFu);
  }
  return plugin.ModuleTypesFromValue(type->Value(), false);
}

}  // namespace block_call

inline bool TkvoPlugin::TryBlockCall(TParamsList* parameters, void** data, TParamsList** rows,
                                     int32_t* result) {
  if (!FBlockProc) return false;
  auto* const block = static_cast<TParamsList*>(*data);
  if (!block || block->Signature() != kParamsListSignature || block->Count() == 0) return false;
  if (!OnProcessData.IsPlain(FBlockHandler, FBlockContext)) return false;
  // Neither a query, an export nor an event: no log entry, no row marker to add, and the block stays the
  // host's. What the general path does for such a call, without the event's general form.
  constexpr uint32_t kGeneralOnly = TModuleTypes{mttDataQuery}.Mask() | TModuleTypes{mttDataExport}.Mask() |
                                    TModuleTypes{mttEventsHandling}.Mask();
  // Only a 32-bit integer type, as hosts send it: reading any other kind may raise, which the usual path
  // reports.
  const TParamsListElement* type = block_call::FindType(parameters);
  if (!type || type->Value().type() != platform::kVtI4) return false;
  const uint32_t call_type = static_cast<uint32_t>(type->Value().raw().lVal) & 0xFFu;
  if (call_type == 0 || (call_type & kGeneralOnly) != 0) return false;
  TRowsParamsList* const results = ResultRows();
  if (!results) return false;
  ClearLog();
  try {
    *result = FBlockProc(FBlockContext, block, results);
    if (results->Count() > 0) *rows = results;
  } catch (...) {
    *result = -3;
    LogMessageProperty(1, MsgWriteCompleteError);
  }
  *data = nullptr;
  return true;
}

}  // namespace kvo
