// Declaring published properties: Publish<T> builds the immutable descriptors of a class's property
// table from accessors, checked at compile time, with no allocation when a number is read or written.
//
// An accessor is a pointer to a data member (`&T::FTag`), a pointer to a member function (`&T::Tag`,
// `&T::SetTag`), or a capture-less lambda (`[](const T& t) { return t.Width() * 2; }`,
// `[](T& t, int32_t v) { t.Resize(v / 2); }`). The getter is required; the setter defaults to none,
// which makes the property read-only. In a class's source file:
//
//   constinit const PropInfo TMyForm::kPublished[] = {
//       Publish<TMyForm>::Integer<&TMyForm::FLeft, &TMyForm::SetLeft>("Left"),
//       Publish<TMyForm>::String<&TMyForm::FCaption>("Caption"),              // read-only
//       Publish<TMyForm>::Enumeration<&TMyForm::FAlign, &TMyForm::FAlign>("Align", kAlignInfo),
//       Publish<TMyForm>::Set<&TMyForm::FTypes, &TMyForm::FTypes>("ModuleType", kModuleTypeInfo),
//       Publish<TMyForm>::Object<&TMyForm::Items, &TMyForm::SetItems>("Items"),
//       Publish<TMyForm>::Method<&TMyForm::OnLoad>("OnLoad"),
//   };
//   constinit const TClassInfo TMyForm::StaticClass{"TMyForm", &TBase::StaticClass, TMyForm::kPublished};
//
// with `static const PropInfo kPublished[];` and `static const TClassInfo StaticClass;` declared in the
// class (private members are reachable because the table is a member's initialiser). Value types:
// Integer: integral; Float: floating-point; String: std::string or anything std::string_view converts
// from (the setter may take std::string_view or const std::string&); Boolean: bool; Enumeration: an
// enumeration with ordinals 0..n-1; Set: TSet<E, Bits> or an unsigned mask; Any: Variant; Object: a
// pointer or reference to a TObject descendant (or a std::unique_ptr of one), the setter taking a pointer
// (none allowed) or a reference (none refused); Method: an Event<...>.
//
// Thread contract: [any-thread], compile-time only.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/class_info.h"
#include "runtime/object.h"
#include "runtime/set.h"

namespace kvo {
namespace publish_detail {

template <typename T, auto Getter>
using ValueOf = std::remove_cvref_t<std::invoke_result_t<decltype(Getter), const T&>>;

template <auto Setter>
inline constexpr bool kHasSetter = !std::is_null_pointer_v<decltype(Setter)>;

template <typename T, auto Getter>
decltype(auto) Read(const TObject& object) {
  return std::invoke(Getter, static_cast<const T&>(object));
}

// Stores `arg` through the setter, converting to `Value` only where the setter cannot take `arg` itself.
template <typename T, auto Setter, typename Value, typename Arg>
void Write(TObject& object, Arg&& arg) {
  T& self = static_cast<T&>(object);
  if constexpr (std::is_member_object_pointer_v<decltype(Setter)>) {
    using Field = std::remove_reference_t<decltype(self.*Setter)>;
    if constexpr (std::is_assignable_v<Field&, Arg&&>) {
      self.*Setter = std::forward<Arg>(arg);
    } else {
      self.*Setter = static_cast<Field>(std::forward<Arg>(arg));
    }
  } else if constexpr (std::is_invocable_v<decltype(Setter), T&, Arg&&>) {
    std::invoke(Setter, self, std::forward<Arg>(arg));
  } else {
    std::invoke(Setter, self, static_cast<Value>(std::forward<Arg>(arg)));
  }
}

template <typename V>
concept SetValue = std::unsigned_integral<V> || requires(const V& v) {
  { v.Mask() } -> std::unsigned_integral;
  { V::FromMask(uint32_t{}) } -> std::same_as<V>;
};

template <typename V>
struct ObjectClassOf {
  using type = std::remove_cvref_t<V>;
};
template <typename V>
struct ObjectClassOf<V*> {
  using type = std::remove_cv_t<V>;
};
template <typename V, typename D>
struct ObjectClassOf<std::unique_ptr<V, D>> {
  using type = std::remove_cv_t<V>;
};

// The holder's constness does not reach the objects it refers to, as with a pointer member.
template <typename V>
TObject* AsObject(const V& value) {
  if constexpr (std::is_pointer_v<V>) {
    return const_cast<TObject*>(static_cast<const TObject*>(value));
  } else if constexpr (requires { value.get(); }) {
    return const_cast<TObject*>(static_cast<const TObject*>(value.get()));
  } else {
    return const_cast<TObject*>(static_cast<const TObject*>(&value));
  }
}

template <typename T, auto Getter, auto Setter>
struct Thunks {
  using Value = ValueOf<T, Getter>;

  static int32_t GetInteger(const TObject& o) { return static_cast<int32_t>(Read<T, Getter>(o)); }
  static void SetInteger(TObject& o, int32_t v) { Write<T, Setter, Value>(o, static_cast<Value>(v)); }

  static int32_t GetBoolean(const TObject& o) { return static_cast<bool>(Read<T, Getter>(o)) ? 1 : 0; }
  static void SetBoolean(TObject& o, int32_t v) { Write<T, Setter, Value>(o, v != 0); }

  static int32_t GetEnum(const TObject& o) { return static_cast<int32_t>(Read<T, Getter>(o)); }
  static void SetEnum(TObject& o, int32_t v) { Write<T, Setter, Value>(o, static_cast<Value>(v)); }

  static int32_t GetSet(const TObject& o) {
    decltype(auto) value = Read<T, Getter>(o);
    if constexpr (std::unsigned_integral<Value>) {
      return static_cast<int32_t>(static_cast<uint32_t>(value));
    } else {
      return static_cast<int32_t>(static_cast<uint32_t>(value.Mask()));
    }
  }
  static void SetSet(TObject& o, int32_t v) {
    const auto mask = static_cast<uint32_t>(v);
    if constexpr (std::unsigned_integral<Value>) {
      Write<T, Setter, Value>(o, static_cast<Value>(mask));
    } else {
      Write<T, Setter, Value>(o, Value::FromMask(mask));
    }
  }

  static double GetFloat(const TObject& o) { return static_cast<double>(Read<T, Getter>(o)); }
  static void SetFloat(TObject& o, double v) { Write<T, Setter, Value>(o, static_cast<Value>(v)); }

  static std::string GetStr(const TObject& o) { return std::string(std::string_view(Read<T, Getter>(o))); }
  static void SetStr(TObject& o, std::string_view v) { Write<T, Setter, std::string>(o, v); }

  static Variant GetVariant(const TObject& o) { return Variant(Read<T, Getter>(o)); }
  static void SetVariant(TObject& o, const Variant& v) { Write<T, Setter, Variant>(o, v); }

  using Class = typename ObjectClassOf<Value>::type;
  static TObject* GetObject(const TObject& o) { return AsObject(Read<T, Getter>(o)); }
  // False when `v` is not a `Class` or is none for a setter that takes a reference.
  static bool SetObject(TObject& o, TObject* v) {
    Class* typed = v != nullptr ? dynamic_cast<Class*>(v) : nullptr;
    if (v != nullptr && typed == nullptr) return false;
    if constexpr (std::is_member_object_pointer_v<decltype(Setter)> ||
                  std::is_invocable_v<decltype(Setter), T&, Class*>) {
      Write<T, Setter, Class*>(o, typed);
    } else {
      if (typed == nullptr) return false;
      std::invoke(Setter, static_cast<T&>(o), *typed);
    }
    return true;
  }

  static bool IsAssigned(const TObject& o) { return Read<T, Getter>(o).Assigned(); }
};

}  // namespace publish_detail

template <typename T>
struct Publish {
  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Integer(std::string_view name) {
    static_assert(std::is_integral_v<publish_detail::ValueOf<T, Getter>>, "Integer needs an integral value");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkInteger};
    info.GetOrd = &Th::GetInteger;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetOrd = &Th::SetInteger;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Float(std::string_view name) {
    static_assert(std::is_floating_point_v<publish_detail::ValueOf<T, Getter>>,
                  "Float needs a floating value");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkFloat};
    info.GetFloat = &Th::GetFloat;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetFloat = &Th::SetFloat;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo String(std::string_view name) {
    static_assert(std::is_convertible_v<publish_detail::ValueOf<T, Getter>, std::string_view>,
                  "String needs a value convertible to std::string_view");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkLString};
    info.GetStr = &Th::GetStr;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetStr = &Th::SetStr;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Boolean(std::string_view name) {
    static_assert(std::is_same_v<publish_detail::ValueOf<T, Getter>, bool>, "Boolean needs a bool value");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkEnumeration, .EnumType = &kBooleanInfo};
    info.GetOrd = &Th::GetBoolean;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetOrd = &Th::SetBoolean;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Enumeration(std::string_view name, const TEnumInfo& type) {
    static_assert(std::is_enum_v<publish_detail::ValueOf<T, Getter>>, "Enumeration needs an enum value");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkEnumeration, .EnumType = &type};
    info.GetOrd = &Th::GetEnum;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetOrd = &Th::SetEnum;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Set(std::string_view name, const TEnumInfo& element) {
    static_assert(publish_detail::SetValue<publish_detail::ValueOf<T, Getter>>,
                  "Set needs a TSet or an unsigned mask");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkSet, .EnumType = &element};
    info.GetOrd = &Th::GetSet;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetOrd = &Th::SetSet;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Any(std::string_view name) {
    static_assert(std::is_same_v<publish_detail::ValueOf<T, Getter>, Variant>, "Any needs a Variant value");
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    PropInfo info{.Name = name, .Kind = tkVariant};
    info.GetVariant = &Th::GetVariant;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetVariant = &Th::SetVariant;
    return info;
  }

  template <auto Getter, auto Setter = nullptr>
  static constexpr PropInfo Object(std::string_view name) {
    using Th = publish_detail::Thunks<T, Getter, Setter>;
    static_assert(std::is_base_of_v<TObject, typename Th::Class>, "Object needs a TObject descendant");
    PropInfo info{.Name = name, .Kind = tkClass, .ClassType = &Th::Class::StaticClass};
    info.GetObject = &Th::GetObject;
    if constexpr (publish_detail::kHasSetter<Setter>) info.SetObject = &Th::SetObject;
    return info;
  }

  template <auto Getter>
  static constexpr PropInfo Method(std::string_view name) {
    using Th = publish_detail::Thunks<T, Getter, nullptr>;
    PropInfo info{.Name = name, .Kind = tkMethod};
    info.IsAssigned = &Th::IsAssigned;
    return info;
  }
};

}  // namespace kvo
