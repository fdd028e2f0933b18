// The kinds of published property values, numbered as the forms' component model numbers them, so that
// settings stores and hooks that pass a kind around agree with stored data and with each other.
//
// Thread contract: [any-thread], constants only.
#pragma once

#include <cstdint>
#include <string_view>

namespace kvo {

enum TTypeKind : uint8_t {
  tkUnknown,
  tkInteger,
  tkChar,
  tkEnumeration,
  tkFloat,
  tkString,
  tkSet,
  tkClass,
  tkMethod,
  tkWChar,
  tkLString,
  tkWString,
  tkVariant,
  tkArray,
  tkRecord,
  tkInterface,
  tkInt64,
  tkDynArray,
  tkUString,
};

inline constexpr int kTypeKindCount = tkUString + 1;

// The identifier of a kind, such as "tkLString"; "" for a value outside the enumeration.
std::string_view TypeKindName(TTypeKind kind) noexcept;

}  // namespace kvo
