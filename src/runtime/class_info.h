// Run-time type information: a class's name, base class and its own published properties.
//
// Every class with published properties has one immutable TClassInfo (its static `StaticClass`) whose
// property table lists only the properties the class adds; lookups walk the chain to the root. Build
// property descriptors with Publish<T> (publish.h); read and write them with the functions of
// properties.h, which check the kind and raise clear errors.
//
// Thread contract: [any-thread], immutable after static initialisation.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "params/variant.h"
#include "runtime/enum_info.h"
#include "runtime/type_kind.h"

namespace kvo {

class TObject;
class TClassInfo;

// One published property. The access functions are set for the forms the kind has and are null where
// the property is read-only (setters) or the kind has no such form:
//   tkInteger, tkEnumeration (Boolean included), tkSet: GetOrd/SetOrd (a set's value is its bit mask);
//   tkFloat: GetFloat/SetFloat; tkLString: GetStr/SetStr; tkVariant: GetVariant/SetVariant;
//   tkClass: GetObject/SetObject;
//   tkMethod (an event): IsAssigned.
// Each function receives the object whose class (or a descendant) declared the property.
struct PropInfo {
  std::string_view Name;
  TTypeKind Kind = tkUnknown;
  const TEnumInfo* EnumType = nullptr;    // tkEnumeration: its identifiers; tkSet: the element's
  const TClassInfo* ClassType = nullptr;  // tkClass: the declared class of the value

  int32_t (*GetOrd)(const TObject&) = nullptr;
  void (*SetOrd)(TObject&, int32_t) = nullptr;
  double (*GetFloat)(const TObject&) = nullptr;
  void (*SetFloat)(TObject&, double) = nullptr;
  std::string (*GetStr)(const TObject&) = nullptr;
  void (*SetStr)(TObject&, std::string_view) = nullptr;
  Variant (*GetVariant)(const TObject&) = nullptr;
  void (*SetVariant)(TObject&, const Variant&) = nullptr;
  TObject* (*GetObject)(const TObject&) = nullptr;
  bool (*SetObject)(TObject&, TObject*) = nullptr;  // false: wrong class, or none where none is refused
  bool (*IsAssigned)(const TObject&) = nullptr;

  // True when no setter exists for the kind (events are never written through the table).
  constexpr bool IsReadOnly() const noexcept {
    return SetOrd == nullptr && SetFloat == nullptr && SetStr == nullptr && SetVariant == nullptr &&
           SetObject == nullptr;
  }
  constexpr bool IsBoolean() const noexcept { return Kind == tkEnumeration && EnumType == &kBooleanInfo; }
};

class TClassInfo {
 public:
  constexpr TClassInfo(std::string_view name, const TClassInfo* parent,
                       std::span<const PropInfo> properties = {}) noexcept
      : name_(name), parent_(parent), properties_(properties) {}
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  constexpr std::string_view Name() const noexcept { return name_; }
  constexpr const TClassInfo* Parent() const noexcept { return parent_; }
  // The properties this class declares, in declaration order; the base classes' are not included.
  constexpr std::span<const PropInfo> OwnProperties() const noexcept { return properties_; }

  // True for this class and every class derived from `base`.
  bool InheritsFrom(const TClassInfo& base) const noexcept;
  // The published property `name` (A-Z same as a-z) of this class or its bases, the most derived
  // declaration winning; null when there is none.
  const PropInfo* FindProperty(std::string_view name) const noexcept;

 private:
  std::string_view name_;
  const TClassInfo* parent_;
  std::span<const PropInfo> properties_;
};

}  // namespace kvo
