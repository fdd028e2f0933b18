// Walking a class chain for inheritance tests and property lookup.
#include "runtime/class_info.h"

#include "text/text_utils.h"

namespace kvo {

bool TClassInfo::InheritsFrom(const TClassInfo& base) const noexcept {
  for (const TClassInfo* cls = this; cls != nullptr; cls = cls->parent_) {
    if (cls == &base) return true;
  }
  return false;
}

const PropInfo* TClassInfo::FindProperty(std::string_view name) const noexcept {
  for (const TClassInfo* cls = this; cls != nullptr; cls = cls->parent_) {
    for (const PropInfo& prop : cls->properties_) {
      if (text::SameText(prop.Name, name)) return &prop;
    }
  }
  return nullptr;
}

}  // namespace kvo
