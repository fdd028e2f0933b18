// Reading and writing published properties by name, the way settings stores, translators and form data
// reach them without knowing the classes.
//
// Values travel as variants: tkInteger as Integer (I4), tkFloat as Double (R8), tkLString as an OLE
// string, Boolean properties as Boolean, other enumerations as their ordinal (I4), sets as their bit mask
// (I4), tkVariant as stored. Writing converts: an enumeration or Boolean accepts its identifier as text
// (letter case ignored), a set accepts its "[a,b]" text. Object (tkClass) and event (tkMethod) properties
// have no variant form; use GetObjectProp/SetObjectProp and IsEventAssigned.
//
// The overloads taking a PropInfo expect one found on the same object (or its class).
// Failures raise EPropertyError (unknown or read-only property, no such form) or EPropertyConvertError
// (a value that does not fit). Reading a number neither allocates nor raises once the property exists.
//
// Thread contract: as the object's own; these functions keep no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/variant.h"
#include "runtime/class_info.h"
#include "runtime/object.h"

namespace kvo {

// Lookup ignores the case of A-Z; null when the class has no such published property.
const PropInfo* GetPropInfo(const TClassInfo& cls, std::string_view name) noexcept;
const PropInfo* GetPropInfo(const TObject& object, std::string_view name) noexcept;
bool IsPublishedProp(const TObject& object, std::string_view name) noexcept;
// The property, or EPropertyError naming the class and the property.
const PropInfo& FindPropInfo(const TObject& object, std::string_view name);

// Every published property, base classes first, each class's in declaration order. A property that a
// derived class declares again keeps its base position but reports the derived descriptor.
std::vector<const PropInfo*> GetPropList(const TClassInfo& cls);
std::vector<const PropInfo*> GetPropList(const TObject& object);

Variant GetPropValue(const TObject& object, std::string_view name);
Variant GetPropValue(const TObject& object, const PropInfo& prop);
void SetPropValue(TObject& object, std::string_view name, const Variant& value);
void SetPropValue(TObject& object, const PropInfo& prop, const Variant& value);

// tkInteger, tkEnumeration (Boolean 0/1) and tkSet (mask). Writing checks enumeration and set ranges.
int32_t GetOrdProp(const TObject& object, std::string_view name);
int32_t GetOrdProp(const TObject& object, const PropInfo& prop);
void SetOrdProp(TObject& object, std::string_view name, int32_t value);
void SetOrdProp(TObject& object, const PropInfo& prop, int32_t value);

double GetFloatProp(const TObject& object, std::string_view name);
void SetFloatProp(TObject& object, std::string_view name, double value);

// tkLString directly; tkVariant through its text form.
std::string GetStrProp(const TObject& object, std::string_view name);
std::string GetStrProp(const TObject& object, const PropInfo& prop);
void SetStrProp(TObject& object, std::string_view name, std::string_view value);
void SetStrProp(TObject& object, const PropInfo& prop, std::string_view value);

// The identifier of an enumeration's (or Boolean's) current value; writing takes an identifier, letter
// case ignored, and raises EPropertyConvertError for one the enumeration does not have.
std::string GetEnumProp(const TObject& object, std::string_view name);
std::string GetEnumProp(const TObject& object, const PropInfo& prop);
void SetEnumProp(TObject& object, std::string_view name, std::string_view identifier);
void SetEnumProp(TObject& object, const PropInfo& prop, std::string_view identifier);

// A set in its text form "[a,b]" (members in ordinal order; brackets left out on request).
std::string GetSetProp(const TObject& object, std::string_view name, bool brackets = true);
void SetSetProp(TObject& object, std::string_view name, std::string_view text);
std::string SetToString(const TEnumInfo& element, uint32_t mask, bool brackets = true);
// Parses "[a, b]", "a,b" or "[]"; raises EPropertyConvertError for an unknown identifier.
uint32_t StringToSet(const TEnumInfo& element, std::string_view text);

// The object a tkClass property refers to, or null.
TObject* GetObjectProp(const TObject& object, std::string_view name);
TObject* GetObjectProp(const TObject& object, const PropInfo& prop);
template <typename C>
C* GetObjectProp(const TObject& object, std::string_view name) {
  return dynamic_cast<C*>(GetObjectProp(object, name));
}
// Raises EPropertyConvertError when `value` is not of the property's class (or is null where the
// property refuses none).
void SetObjectProp(TObject& object, std::string_view name, TObject* value);
void SetObjectProp(TObject& object, const PropInfo& prop, TObject* value);

// Whether a tkMethod property (an event) has a handler.
bool IsEventAssigned(const TObject& object, std::string_view name);

}  // namespace kvo
