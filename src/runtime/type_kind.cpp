// Names of the property kinds, for messages and for hooks that report a kind as text.
#include "runtime/type_kind.h"

#include <array>

namespace kvo {

std::string_view TypeKindName(TTypeKind kind) noexcept {
  static constexpr std::array<std::string_view, kTypeKindCount> kNames = {
      "tkUnknown", "tkInteger",   "tkChar",  "tkEnumeration", "tkFloat",   "tkString",  "tkSet",
      "tkClass",   "tkMethod",    "tkWChar", "tkLString",     "tkWString", "tkVariant", "tkArray",
      "tkRecord",  "tkInterface", "tkInt64", "tkDynArray",    "tkUString"};
  const auto index = static_cast<size_t>(kind);
  return index < kNames.size() ? kNames[index] : std::string_view{};
}

}  // namespace kvo
