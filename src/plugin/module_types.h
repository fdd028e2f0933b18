// Module types: the roles a module plays in the host's pipeline, exchanged as an 8-bit mask (bit n for
// the type with ordinal n) in the "TYPE" parameter and by GetModuleType; and the module options.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/enum_info.h"
#include "runtime/set.h"

namespace kvo {

enum TModuleType : uint8_t {
  mttDataQuery,
  mttDataParser,
  mttDataExport,
  mttEventsHandling,
  mttLogging,
  mttFilter,
  mttDeviceLayer,
  mttMenuExt,
};
using TModuleTypes = TSet<TModuleType, uint8_t>;

inline constexpr std::string_view kModuleTypeNames[] = {"mttDataQuery",      "mttDataParser", "mttDataExport",
                                                        "mttEventsHandling", "mttLogging",    "mttFilter",
                                                        "mttDeviceLayer",    "mttMenuExt"};
inline constexpr TEnumInfo kModuleTypeInfo{"TModuleType", kModuleTypeNames};

enum TModuleOption : uint8_t { moConfigurable, moXMLOptions };
using TModuleOptions = TSet<TModuleOption, uint8_t>;

inline constexpr std::string_view kModuleOptionNames[] = {"moConfigurable", "moXMLOptions"};
inline constexpr TEnumInfo kModuleOptionInfo{"TModuleOption", kModuleOptionNames};

}  // namespace kvo
