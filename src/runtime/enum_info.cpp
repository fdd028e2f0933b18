// Identifier lookup for enumeration types.
#include "runtime/enum_info.h"

#include "text/text_utils.h"

namespace kvo {

int32_t TEnumInfo::IndexOf(std::string_view identifier) const noexcept {
  for (int32_t i = 0; i < Count(); ++i) {
    if (text::SameText(Names[static_cast<size_t>(i)], identifier)) return i;
  }
  return -1;
}

}  // namespace kvo
