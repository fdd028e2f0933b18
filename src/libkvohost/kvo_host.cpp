// The host SDK's C functions over the shared parameter-list implementation.
#include "kvo/kvo_host.h"

#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "params/boundary.h"
#include "params/errors.h"
#include "params/params_list.h"

namespace {

using kvo::Variant;

kvo::TParamsList* Impl(TParamsList* list) {
  return reinterpret_cast<kvo::TParamsList*>(list);
}
const kvo::TParamsList* Impl(const TParamsList* list) {
  return reinterpret_cast<const kvo::TParamsList*>(list);
}

const kvo::TParamsListElement* ElementAt(const TParamsList* list, int32_t index) {
  if (!list || index < 0 || index >= Impl(list)->Count()) return nullptr;
  return Impl(list)->Element(index);
}

int AddValue(TParamsList* list, const char* name, auto make_value) {
  if (!list || !name) return KVO_PARAMS_FAILED;
  return kvo::AtBoundary(KVO_PARAMS_FAILED, [&] { return Impl(list)->Add(name, make_value()) ? 1 : 0; });
}

// The value is made only where it is stored and moved in, so setting a number copies no variant.
int SetValue(TParamsList* list, const char* name, int add_if_missing, auto make_value) {
  if (!list || !name) return -1;
  try {
    if (kvo::TParamsListElement* element = Impl(list)->FindByName(name)) {
      element->SetValue(make_value());
      return 1;
    }
    return Impl(list)->SetValueByName(name, make_value(), add_if_missing != 0) ? 1 : 0;
  } catch (...) {
    return -1;
  }
}

// The rest of kvo_params_set_double: a longer name, a missing one, or a list that is not live (which
// raises here). Out of line, so that the setter's short-name path saves no registers.
[[gnu::noinline]] int SetDoubleByName(TParamsList* list, const char* name, double value, int add_if_missing) {
  try {
    if (kvo::TParamsListElement* element = Impl(list)->FindLiveByName(name)) {
      element->Value().SetDouble(value);
      return 1;
    }
    return Impl(list)->SetValueByName(name, Variant::FromDouble(value), add_if_missing != 0) ? 1 : 0;
  } catch (...) {
    return -1;
  }
}

int SetValueAt(TParamsList* list, int32_t index, auto make_value) {
  if (!list || index < 0 || index >= Impl(list)->Count()) return -1;
  try {
    Impl(list)->Element(index)->SetValue(make_value());
    return 1;
  } catch (...) {
    return -1;
  }
}

template <typename Make>
TParamsList* NewList(Make make) {
  return kvo::AtBoundary(nullptr, [&] { return reinterpret_cast<TParamsList*>(make()); });
}

}  // namespace

extern "C" {

KVO_HOST_API TParamsList* kvo_params_new(void) {
  return NewList([] { return new kvo::TParamsList(); });
}

KVO_HOST_API TParamsList* kvo_rows_new(void) {
  return NewList([]() -> kvo::TParamsList* { return new kvo::TRowsParamsList(); });
}

KVO_HOST_API void kvo_params_free(TParamsList* list) {
  delete Impl(list);
}

KVO_HOST_API int32_t kvo_params_count(const TParamsList* list) {
  return list ? Impl(list)->Count() : 0;
}

KVO_HOST_API uint32_t kvo_params_signature(const TParamsList* list) {
  return list ? Impl(list)->Signature() : 0;
}

KVO_HOST_API int kvo_params_is_rows(const TParamsList* list) {
  return list && Impl(list)->IsRowsList() ? 1 : 0;
}

KVO_HOST_API void kvo_params_clear(TParamsList* list) {
  if (list) Impl(list)->Clear();
}

KVO_HOST_API void kvo_params_new_row(TParamsList* list) {
  if (!list) return;
  kvo::AtBoundary([&] { Impl(list)->NewRow(); });
}

KVO_HOST_API void kvo_params_append(TParamsList* list, const TParamsList* source) {
  if (!list) return;
  kvo::AtBoundary([&] { Impl(list)->AppendList(Impl(source)); });
}

KVO_HOST_API int kvo_params_add_empty(TParamsList* list, const char* name) {
  return AddValue(list, name, [] { return Variant(); });
}
KVO_HOST_API int kvo_params_add_null(TParamsList* list, const char* name) {
  return AddValue(list, name, [] { return Variant::Null(); });
}
KVO_HOST_API int kvo_params_add_int(TParamsList* list, const char* name, int32_t value) {
  return AddValue(list, name, [=] { return Variant::FromInt(value); });
}
KVO_HOST_API int kvo_params_add_int64(TParamsList* list, const char* name, int64_t value) {
  return AddValue(list, name, [=] { return Variant::FromInt64(value); });
}
KVO_HOST_API int kvo_params_add_double(TParamsList* list, const char* name, double value) {
  return AddValue(list, name, [=] { return Variant::FromDouble(value); });
}
KVO_HOST_API int kvo_params_add_bool(TParamsList* list, const char* name, int value) {
  return AddValue(list, name, [=] { return Variant::FromBool(value != 0); });
}
KVO_HOST_API int kvo_params_add_date(TParamsList* list, const char* name, double days) {
  return AddValue(list, name, [=] { return Variant::FromDate(days); });
}
KVO_HOST_API int kvo_params_add_text(TParamsList* list, const char* name, const char* text) {
  if (!text) return KVO_PARAMS_FAILED;
  return AddValue(list, name, [=] { return Variant::FromText(text); });
}

KVO_HOST_API int kvo_params_set_int(TParamsList* list, const char* name, int32_t value, int add_if_missing) {
  return SetValue(list, name, add_if_missing, [=] { return Variant::FromInt(value); });
}
KVO_HOST_API int kvo_params_set_double(TParamsList* list, const char* name, double value,
                                       int add_if_missing) {
  if (!list || !name) return -1;
  // The common case, a short name already there in a live list, stores the double in place and cannot
  // raise.
  kvo::TParamsListElement* element = Impl(list)->FindShortLiveByName(name);
  if (!element || !kvo::IsPlainKind(element->Value().type())) {
    return SetDoubleByName(list, name, value, add_if_missing);
  }
  element->Value().SetDouble(value);
  return 1;
}
KVO_HOST_API int kvo_params_set_text(TParamsList* list, const char* name, const char* text,
                                     int add_if_missing) {
  if (!text) return -1;
  return SetValue(list, name, add_if_missing, [=] { return Variant::FromText(text); });
}

KVO_HOST_API int kvo_params_set_null_at(TParamsList* list, int32_t index) {
  return SetValueAt(list, index, [] { return Variant::Null(); });
}
KVO_HOST_API int kvo_params_set_int_at(TParamsList* list, int32_t index, int32_t value) {
  return SetValueAt(list, index, [=] { return Variant::FromInt(value); });
}
KVO_HOST_API int kvo_params_set_int64_at(TParamsList* list, int32_t index, int64_t value) {
  return SetValueAt(list, index, [=] { return Variant::FromInt64(value); });
}
KVO_HOST_API int kvo_params_set_double_at(TParamsList* list, int32_t index, double value) {
  return SetValueAt(list, index, [=] { return Variant::FromDouble(value); });
}
KVO_HOST_API int kvo_params_set_bool_at(TParamsList* list, int32_t index, int value) {
  return SetValueAt(list, index, [=] { return Variant::FromBool(value != 0); });
}
KVO_HOST_API int kvo_params_set_text_at(TParamsList* list, int32_t index, const char* text, int32_t length) {
  if (!text) return -1;
  const std::string_view view =
      length < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(length));
  return SetValueAt(list, index, [=] { return Variant::FromText(view); });
}

KVO_HOST_API int32_t kvo_params_index_of(const TParamsList* list, const char* name) {
  if (!list || !name) return KVO_PARAMS_FAILED;
  return kvo::AtBoundary(KVO_PARAMS_FAILED, [&]() -> int32_t {
    try {
      return Impl(list)->IndexOfName(name);
    } catch (const kvo::EAssertionFailed&) {
      return KVO_PARAMS_NOT_LIVE;  // the signature check
    }
  });
}

KVO_HOST_API const char* kvo_params_name(const TParamsList* list, int32_t index) {
  const kvo::TParamsListElement* element = ElementAt(list, index);
  return element ? element->Name().data() : nullptr;  // always zero-terminated
}

KVO_HOST_API uint16_t kvo_params_type(const TParamsList* list, int32_t index) {
  const kvo::TParamsListElement* element = ElementAt(list, index);
  return element ? element->Value().type() : static_cast<uint16_t>(KVO_VT_EMPTY);
}

KVO_HOST_API int32_t kvo_params_text(const TParamsList* list, int32_t index, char* buffer, int32_t size) {
  const kvo::TParamsListElement* element = ElementAt(list, index);
  if (!element || (size > 0 && !buffer)) return KVO_PARAMS_FAILED;
  return kvo::AtBoundary(KVO_PARAMS_FAILED, [&]() -> int32_t {
    std::string text = element->Value().ToText();
    if (size > 0) {
      size_t n = text.size() < static_cast<size_t>(size) ? text.size() : static_cast<size_t>(size) - 1;
      std::memcpy(buffer, text.data(), n);
      buffer[n] = '\0';
    }
    return text.size() > 0x7FFFFFFFu ? KVO_PARAMS_FAILED : static_cast<int32_t>(text.size());
  });
}

KVO_HOST_API int kvo_params_int(const TParamsList* list, int32_t index, int32_t* out) {
  const kvo::TParamsListElement* element = ElementAt(list, index);
  if (!element || !out) return 0;
  return kvo::AtBoundary(0, [&] {
    *out = element->Value().ToInt();
    return 1;
  });
}

KVO_HOST_API int kvo_params_double(const TParamsList* list, int32_t index, double* out) {
  const kvo::TParamsListElement* element = ElementAt(list, index);
  if (!element || !out) return 0;
  return kvo::AtBoundary(0, [&] {
    *out = element->Value().ToDouble();
    return 1;
  });
}

}  // extern "C"
