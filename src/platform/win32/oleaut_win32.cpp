// OLE Automation values on Windows: oleaut32, with the text of reals made here so both targets agree.
#include "platform/oleaut.h"

#include <windows.h>

#include <oleauto.h>

#include <charconv>
#include <cstddef>
#include <cstring>

namespace kvo::platform {
namespace {

static_assert(sizeof(VARIANT) == sizeof(OleVariant));
static_assert(offsetof(VARIANT, vt) == offsetof(OleVariant, vt));
static_assert(offsetof(VARIANT, llVal) == offsetof(OleVariant, llVal));
static_assert(sizeof(OLECHAR) == sizeof(char16_t));

VARIANT* Native(OleVariant* value) {
  return reinterpret_cast<VARIANT*>(value);
}
// The system's declarations take sources by non-const pointer but do not write through them.
VARIANT* Native(const OleVariant* value) {
  return Native(const_cast<OleVariant*>(value));
}

// English (United States) without user overrides: "." separates decimals whatever the user's locale.
constexpr LCID kNeutralLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// oleaut32 writes reals with at most 15 significant digits, which loses information; to_chars gives the
// shortest text that reads back to the same value.
template <typename Real>
int32_t RealToText(Real value, OleVariant* out) {
  char digits[48];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  const auto length = static_cast<uint32_t>(result.ptr - digits);
  Bstr text = BstrAlloc(nullptr, length);
  if (text == nullptr) return kOleOutOfMemory;
  for (uint32_t i = 0; i < length; ++i) {
    text[i] = static_cast<unsigned char>(digits[i]);
  }
  *out = {};
  out->vt = kVtBstr;
  out->bstrVal = text;
  return 0;
}

}  // namespace

Bstr BstrAlloc(const char16_t* chars, uint32_t length) {
  auto* text = reinterpret_cast<Bstr>(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(chars), length));
  // Without source characters the system leaves them undefined.
  if (text != nullptr && chars == nullptr) std::memset(text, 0, size_t(length) * sizeof(char16_t));
  return text;
}

void BstrFree(Bstr text) {
  SysFreeString(reinterpret_cast<BSTR>(text));
}

uint32_t BstrLength(Bstr text) {
  return SysStringLen(reinterpret_cast<BSTR>(text));
}

int32_t VariantClear(OleVariant* value) {
  if (value == nullptr) return kOleInvalidArg;
  return ::VariantClear(Native(value));
}

int32_t VariantCopy(OleVariant* dest, const OleVariant* source) {
  if (dest == nullptr || source == nullptr) return kOleInvalidArg;
  const HRESULT hr = ::VariantCopy(Native(dest), Native(source));
  if (FAILED(hr)) ::VariantClear(Native(dest));
  return hr;
}

int32_t VariantChangeType(OleVariant* dest, const OleVariant* source, uint16_t vt) {
  if (dest == nullptr || source == nullptr) return kOleInvalidArg;
  HRESULT hr;
  if (vt == kVtBstr && (source->vt == kVtR4 || source->vt == kVtR8)) {
    OleVariant text;
    hr = source->vt == kVtR4 ? RealToText(source->fltVal, &text) : RealToText(source->dblVal, &text);
    if (SUCCEEDED(hr)) {
      hr = ::VariantClear(Native(dest));  // only now, as dest may be the source
      if (SUCCEEDED(hr)) {
        *dest = text;
      } else {
        BstrFree(text.bstrVal);
      }
    }
  } else {
    // Without VARIANT_ALPHABOOL a boolean becomes "-1" or "0".
    hr = VariantChangeTypeEx(Native(dest), Native(source), kNeutralLocale,
                             VARIANT_ALPHABOOL | VARIANT_NOUSEROVERRIDE, vt);
  }
  // oleaut32 leaves dest as it was on failure; the contract here is an empty dest.
  if (FAILED(hr)) ::VariantClear(Native(dest));
  return hr;
}

}  // namespace kvo::platform
