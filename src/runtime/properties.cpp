// Property access by name: kind checks, variant conversions and the messages that name the property.
#include "runtime/properties.h"

#include <algorithm>
#include <string>

#include "runtime/runtime_errors.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

std::string Describe(const TObject& object, const PropInfo& prop) {
  std::string text = "property \"";
  text += prop.Name;
  text += "\" of ";
  text += object.ClassName();
  return text;
}

[[noreturn]] void ThrowUnknown(const TObject& object, std::string_view name) {
  std::string message = "Unknown property \"";
  message += name;
  message += "\" in ";
  message += object.ClassName();
  throw EPropertyError(message);
}

[[noreturn]] void ThrowNoForm(const TObject& object, const PropInfo& prop, std::string_view what) {
  std::string message = "Cannot ";
  message += what;
  message += " ";
  message += Describe(object, prop);
  message += " (";
  message += TypeKindName(prop.Kind);
  message += ")";
  throw EPropertyError(message);
}

[[noreturn]] void ThrowReadOnly(const TObject& object, const PropInfo& prop) {
  throw EPropertyError(Describe(object, prop) + " is read-only");
}

[[noreturn]] void ThrowInvalid(const TObject& object, const PropInfo& prop, std::string_view reason) {
  std::string message = "Invalid value for ";
  message += Describe(object, prop);
  message += ": ";
  message += reason;
  throw EPropertyConvertError(message);
}

[[noreturn]] void ThrowUnknownIdentifier(const TEnumInfo& type, std::string_view identifier) {
  std::string message = "\"";
  message += identifier;
  message += "\" is not a valid ";
  message += type.TypeName;
  message += " value";
  throw EPropertyConvertError(message);
}

bool IsOrdinalKind(TTypeKind kind) noexcept {
  return kind == tkInteger || kind == tkEnumeration || kind == tkSet;
}

uint32_t AllMembers(const TEnumInfo& element) noexcept {
  return element.Count() >= 32 ? ~uint32_t{0} : (uint32_t{1} << element.Count()) - 1;
}

// Range checks that the value type cannot express; raw thunks store whatever they are given.
void CheckOrdinal(const TObject& object, const PropInfo& prop, int32_t value) {
  if (prop.Kind == tkEnumeration && !prop.IsBoolean() && (value < 0 || value >= prop.EnumType->Count())) {
    ThrowInvalid(object, prop, "ordinal " + std::to_string(value) + " is out of range");
  }
  if (prop.Kind == tkSet && (static_cast<uint32_t>(value) & ~AllMembers(*prop.EnumType)) != 0) {
    ThrowInvalid(object, prop,
                 "mask " + std::to_string(static_cast<uint32_t>(value)) + " has no such members");
  }
}

void StoreOrdinal(TObject& object, const PropInfo& prop, int32_t value) {
  if (prop.SetOrd == nullptr) ThrowReadOnly(object, prop);
  CheckOrdinal(object, prop, value);
  prop.SetOrd(object, prop.IsBoolean() ? (value != 0 ? 1 : 0) : value);
}

// Converts with the variant's own rules and reports a failure against the property.
template <typename Convert>
auto Converted(const TObject& object, const PropInfo& prop, Convert convert) {
  try {
    return convert();
  } catch (const EVariantError& error) {
    ThrowInvalid(object, prop, error.what());
  }
}

int32_t OrdinalFromVariant(const TObject& object, const PropInfo& prop, const Variant& value) {
  if (prop.Kind == tkInteger) return Converted(object, prop, [&] { return value.ToInt(); });
  if (prop.Kind == tkSet) {
    if (IsText(value)) {
      try {
        return static_cast<int32_t>(StringToSet(*prop.EnumType, value.ToText()));
      } catch (const EPropertyConvertError& error) {
        ThrowInvalid(object, prop, error.what());
      }
    }
    return Converted(object, prop, [&] { return value.ToInt(); });
  }
  if (IsText(value)) {
    const std::string text = value.ToText();
    const int32_t ordinal = prop.EnumType->IndexOf(text::Trim(text));
    if (ordinal >= 0) return ordinal;
    if (!prop.IsBoolean()) {
      ThrowInvalid(object, prop,
                   "\"" + text + "\" is not a valid " + std::string(prop.EnumType->TypeName) + " value");
    }
  }
  if (prop.IsBoolean()) return Converted(object, prop, [&] { return value.ToBool() ? 1 : 0; });
  return Converted(object, prop, [&] { return value.ToInt(); });
}

}  // namespace

const PropInfo* GetPropInfo(const TClassInfo& cls, std::string_view name) noexcept {
  return cls.FindProperty(name);
}

const PropInfo* GetPropInfo(const TObject& object, std::string_view name) noexcept {
  return object.ClassType().FindProperty(name);
}

bool IsPublishedProp(const TObject& object, std::string_view name) noexcept {
  return GetPropInfo(object, name) != nullptr;
}

const PropInfo& FindPropInfo(const TObject& object, std::string_view name) {
  const PropInfo* prop = GetPropInfo(object, name);
  if (prop == nullptr) ThrowUnknown(object, name);
  return *prop;
}

std::vector<const PropInfo*> GetPropList(const TClassInfo& cls) {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = &cls; c != nullptr; c = c->Parent())
    chain.push_back(c);
  std::vector<const PropInfo*> list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const PropInfo& prop : (*it)->OwnProperties()) {
      // A redeclaration further down is reported at the base position, once.
      const PropInfo* effective = cls.FindProperty(prop.Name);
      if (std::find(list.begin(), list.end(), effective) == list.end()) list.push_back(effective);
    }
  }
  return list;
}

std::vector<const PropInfo*> GetPropList(const TObject& object) {
  return GetPropList(object.ClassType());
}

Variant GetPropValue(const TObject& object, std::string_view name) {
  return GetPropValue(object, FindPropInfo(object, name));
}

Variant GetPropValue(const TObject& object, const PropInfo& prop) {
  switch (prop.Kind) {
    case tkInteger:
    case tkSet:
      return Variant::FromInt(prop.GetOrd(object));
    case tkEnumeration:
      return prop.IsBoolean() ? Variant::FromBool(prop.GetOrd(object) != 0)
                              : Variant::FromInt(prop.GetOrd(object));
    case tkFloat:
      return Variant::FromDouble(prop.GetFloat(object));
    case tkLString:
      return Variant::FromText(prop.GetStr(object));
    case tkVariant:
      return prop.GetVariant(object);
    default:
      ThrowNoForm(object, prop, "read as a variant");
  }
}

void SetPropValue(TObject& object, std::string_view name, const Variant& value) {
  SetPropValue(object, FindPropInfo(object, name), value);
}

void SetPropValue(TObject& object, const PropInfo& prop, const Variant& value) {
  switch (prop.Kind) {
    case tkInteger:
    case tkEnumeration:
    case tkSet:
      if (prop.SetOrd == nullptr) ThrowReadOnly(object, prop);
      StoreOrdinal(object, prop, OrdinalFromVariant(object, prop, value));
      return;
    case tkFloat:
      if (prop.SetFloat == nullptr) ThrowReadOnly(object, prop);
      prop.SetFloat(object, Converted(object, prop, [&] { return value.ToDouble(); }));
      return;
    case tkLString:
      if (prop.SetStr == nullptr) ThrowReadOnly(object, prop);
      prop.SetStr(object, Converted(object, prop, [&] { return value.ToText(); }));
      return;
    case tkVariant:
      if (prop.SetVariant == nullptr) ThrowReadOnly(object, prop);
      prop.SetVariant(object, value);
      return;
    default:
      ThrowNoForm(object, prop, "write a variant to");
  }
}

int32_t GetOrdProp(const TObject& object, std::string_view name) {
  return GetOrdProp(object, FindPropInfo(object, name));
}

int32_t GetOrdProp(const TObject& object, const PropInfo& prop) {
  if (!IsOrdinalKind(prop.Kind)) ThrowNoForm(object, prop, "read an ordinal from");
  return prop.GetOrd(object);
}

void SetOrdProp(TObject& object, std::string_view name, int32_t value) {
  SetOrdProp(object, FindPropInfo(object, name), value);
}

void SetOrdProp(TObject& object, const PropInfo& prop, int32_t value) {
  if (!IsOrdinalKind(prop.Kind)) ThrowNoForm(object, prop, "write an ordinal to");
  StoreOrdinal(object, prop, value);
}

double GetFloatProp(const TObject& object, std::string_view name) {
  const PropInfo& prop = FindPropInfo(object, name);
  if (prop.Kind != tkFloat) ThrowNoForm(object, prop, "read a float from");
  return prop.GetFloat(object);
}

void SetFloatProp(TObject& object, std::string_view name, double value) {
  const PropInfo& prop = FindPropInfo(object, name);
  if (prop.Kind != tkFloat) ThrowNoForm(object, prop, "write a float to");
  if (prop.SetFloat == nullptr) ThrowReadOnly(object, prop);
  prop.SetFloat(object, value);
}

std::string GetStrProp(const TObject& object, std::string_view name) {
  return GetStrProp(object, FindPropInfo(object, name));
}

std::string GetStrProp(const TObject& object, const PropInfo& prop) {
  if (prop.Kind == tkLString) return prop.GetStr(object);
  if (prop.Kind == tkVariant) {
    return Converted(object, prop, [&] { return prop.GetVariant(object).ToText(); });
  }
  ThrowNoForm(object, prop, "read text from");
}

void SetStrProp(TObject& object, std::string_view name, std::string_view value) {
  SetStrProp(object, FindPropInfo(object, name), value);
}

void SetStrProp(TObject& object, const PropInfo& prop, std::string_view value) {
  if (prop.Kind == tkLString) {
    if (prop.SetStr == nullptr) ThrowReadOnly(object, prop);
    prop.SetStr(object, value);
    return;
  }
  if (prop.Kind == tkVariant) {
    if (prop.SetVariant == nullptr) ThrowReadOnly(object, prop);
    prop.SetVariant(object, Variant::FromText(value));
    return;
  }
  ThrowNoForm(object, prop, "write text to");
}

std::string GetEnumProp(const TObject& object, std::string_view name) {
  return GetEnumProp(object, FindPropInfo(object, name));
}

std::string GetEnumProp(const TObject& object, const PropInfo& prop) {
  if (prop.Kind != tkEnumeration) ThrowNoForm(object, prop, "read an identifier from");
  return std::string(prop.EnumType->NameOf(prop.GetOrd(object)));
}

void SetEnumProp(TObject& object, std::string_view name, std::string_view identifier) {
  SetEnumProp(object, FindPropInfo(object, name), identifier);
}

void SetEnumProp(TObject& object, const PropInfo& prop, std::string_view identifier) {
  if (prop.Kind != tkEnumeration) ThrowNoForm(object, prop, "write an identifier to");
  if (prop.SetOrd == nullptr) ThrowReadOnly(object, prop);
  const int32_t ordinal = prop.EnumType->IndexOf(identifier);
  if (ordinal < 0) {
    ThrowInvalid(object, prop,
                 "\"" + std::string(identifier) + "\" is not a valid " +
                     std::string(prop.EnumType->TypeName) + " value");
  }
  prop.SetOrd(object, ordinal);
}

std::string SetToString(const TEnumInfo& element, uint32_t mask, bool brackets) {
  std::string text;
  if (brackets) text += '[';
  bool first = true;
  for (int32_t i = 0; i < element.Count() && i < 32; ++i) {
    if ((mask & (uint32_t{1} << i)) == 0) continue;
    if (!first) text += ',';
    text += element.NameOf(i);
    first = false;
  }
  if (brackets) text += ']';
  return text;
}

uint32_t StringToSet(const TEnumInfo& element, std::string_view text) {
  std::string_view rest = text::Trim(text);
  if (!rest.empty() && rest.front() == '[') rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == ']') rest.remove_suffix(1);
  rest = text::Trim(rest);
  uint32_t mask = 0;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view identifier = text::Trim(rest.substr(0, comma));
    const int32_t ordinal = element.IndexOf(identifier);
    if (ordinal < 0 || ordinal >= 32) ThrowUnknownIdentifier(element, identifier);
    mask |= uint32_t{1} << ordinal;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
    if (text::Trim(rest).empty()) ThrowUnknownIdentifier(element, "");
  }
  return mask;
}

std::string GetSetProp(const TObject& object, std::string_view name, bool brackets) {
  const PropInfo& prop = FindPropInfo(object, name);
  if (prop.Kind != tkSet) ThrowNoForm(object, prop, "read a set from");
  return SetToString(*prop.EnumType, static_cast<uint32_t>(prop.GetOrd(object)), brackets);
}

void SetSetProp(TObject& object, std::string_view name, std::string_view text) {
  const PropInfo& prop = FindPropInfo(object, name);
  if (prop.Kind != tkSet) ThrowNoForm(object, prop, "write a set to");
  if (prop.SetOrd == nullptr) ThrowReadOnly(object, prop);
  uint32_t mask = 0;
  try {
    mask = StringToSet(*prop.EnumType, text);
  } catch (const EPropertyConvertError& error) {
    ThrowInvalid(object, prop, error.what());
  }
  prop.SetOrd(object, static_cast<int32_t>(mask));
}

TObject* GetObjectProp(const TObject& object, std::string_view name) {
  return GetObjectProp(object, FindPropInfo(object, name));
}

TObject* GetObjectProp(const TObject& object, const PropInfo& prop) {
  if (prop.Kind != tkClass) ThrowNoForm(object, prop, "read an object from");
  return prop.GetObject(object);
}

void SetObjectProp(TObject& object, std::string_view name, TObject* value) {
  SetObjectProp(object, FindPropInfo(object, name), value);
}

void SetObjectProp(TObject& object, const PropInfo& prop, TObject* value) {
  if (prop.Kind != tkClass) ThrowNoForm(object, prop, "write an object to");
  if (prop.SetObject == nullptr) ThrowReadOnly(object, prop);
  if (!prop.SetObject(object, value)) {
    std::string reason = value == nullptr ? std::string("none is not allowed")
                                          : "a " + std::string(value->ClassName()) + " is not a " +
                                                std::string(prop.ClassType->Name());
    ThrowInvalid(object, prop, reason);
  }
}

bool IsEventAssigned(const TObject& object, std::string_view name) {
  const PropInfo& prop = FindPropInfo(object, name);
  if (prop.Kind != tkMethod) ThrowNoForm(object, prop, "test the handler of");
  return prop.IsAssigned(object);
}

}  // namespace kvo
