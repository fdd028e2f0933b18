// OLE Automation values: the 16-byte VARIANT and the length-prefixed wide string BSTR.
//
// On Windows these are the platform's own (oleaut32); on POSIX this layer implements the same layout and
// semantics: a BSTR points to its first UTF-16 character, its byte length is the 32-bit value 4 bytes
// before that, a 16-bit zero follows the characters, and the variant that holds it owns it.
//
// Thread contract: [any-thread]; a given value must not be used by two threads at once.
#pragma once

#include <cstdint>

namespace kvo::platform {

using Bstr = char16_t*;

// Standard type codes.
enum : uint16_t {
  kVtEmpty = 0,
  kVtNull = 1,
  kVtI2 = 2,
  kVtI4 = 3,
  kVtR4 = 4,
  kVtR8 = 5,
  kVtCy = 6,
  kVtDate = 7,
  kVtBstr = 8,
  kVtError = 10,
  kVtBool = 11,
  kVtI1 = 16,
  kVtUi1 = 17,
  kVtUi2 = 18,
  kVtUi4 = 19,
  kVtI8 = 20,
};

// The VARIANT layout: type code, three reserved words, 8 bytes of data.
struct alignas(8) OleVariant {
  uint16_t vt;
  uint16_t reserved1;
  uint16_t reserved2;
  uint16_t reserved3;
  union {
    int64_t llVal;  // I8, and CY (currency scaled by 10000)
    uint64_t ullVal;
    int32_t lVal;
    uint32_t ulVal;
    int16_t iVal;
    uint16_t uiVal;
    int8_t cVal;
    uint8_t bVal;
    int16_t boolVal;  // -1 true, 0 false
    float fltVal;
    double dblVal;  // R8 and DATE (days since 1899-12-30)
    Bstr bstrVal;
    void* byref;
  };
};
static_assert(sizeof(OleVariant) == 16);

// Failure codes the functions below return (the system's HRESULT values).
inline constexpr int32_t kOleTypeMismatch = int32_t(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr int32_t kOleBadVarType = int32_t(0x80020008);    // DISP_E_BADVARTYPE
inline constexpr int32_t kOleOverflow = int32_t(0x8002000A);      // DISP_E_OVERFLOW
inline constexpr int32_t kOleOutOfMemory = int32_t(0x8007000E);   // E_OUTOFMEMORY
inline constexpr int32_t kOleInvalidArg = int32_t(0x80070057);    // E_INVALIDARG

// A new BSTR holding `length` characters copied from `chars` (which may be null to leave them zero).
// Returns null when memory is short.
Bstr BstrAlloc(const char16_t* chars, uint32_t length);
// Null is ignored.
void BstrFree(Bstr text);
// Number of characters; 0 for null.
uint32_t BstrLength(Bstr text);

// Releases what the value owns and makes it empty. Returns 0 or a failure code.
int32_t VariantClear(OleVariant* value);
// Clears `dest`, then makes it a deep copy of `source`. Returns 0 or a failure code (dest empty then).
int32_t VariantCopy(OleVariant* dest, const OleVariant* source);
// Converts `source` to type `vt` into `dest` (which is cleared first and may be `source` itself).
// Booleans become "True"/"False", numbers use "." as decimal separator. Returns 0 on success, else a
// failure code and `dest` is left empty.
int32_t VariantChangeType(OleVariant* dest, const OleVariant* source, uint16_t vt);

}  // namespace kvo::platform
