// The identifiers of an enumeration type, for enumeration properties (read and written by identifier) and
// for the element type of set properties (written as "[a,b]").
//
// Declare one constexpr TEnumInfo per enumeration, beside the enumeration:
//   inline constexpr std::string_view kModuleTypeNames[] = {"mttDataQuery", "mttDataParser", ...};
//   inline constexpr TEnumInfo kModuleTypeInfo{"TModuleType", kModuleTypeNames};
// Identifier i names ordinal i; ordinals run from 0 without gaps.
//
// Thread contract: [any-thread], immutable.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kvo {

struct TEnumInfo {
  std::string_view TypeName;
  std::span<const std::string_view> Names;

  constexpr int32_t Count() const noexcept { return static_cast<int32_t>(Names.size()); }
  // The identifier of `ordinal`, or "" when it is out of range.
  constexpr std::string_view NameOf(int32_t ordinal) const noexcept {
    return ordinal >= 0 && ordinal < Count() ? Names[static_cast<size_t>(ordinal)] : std::string_view{};
  }
  // The ordinal of `identifier` with A-Z and a-z taken as the same letters, or -1.
  int32_t IndexOf(std::string_view identifier) const noexcept;
};

inline constexpr std::string_view kBooleanNames[] = {"False", "True"};
// Boolean properties are enumerations of this type; their values travel as BOOL variants.
inline constexpr TEnumInfo kBooleanInfo{"Boolean", kBooleanNames};

}  // namespace kvo
