// The value of a parameter-list element: a 16-byte OLE Automation VARIANT, owned.
//
// The layout is the platform's VARIANT (type code, three reserved words, 8 bytes of data), because lists
// cross the module boundary. Besides the standard codes the runtime has its own 8-bit string kind 0x100
// (an AnsiString held in the data word); lists never store it (see NormalizeStringKind).
//
// Thread contract: a Variant is a plain value; one object must not be used by two threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "params/ansi_string.h"
#include "platform/oleaut.h"

namespace kvo {

inline constexpr uint16_t kVtString = 0x100;

// True for kinds whose value lies wholly in the variant (empty, Null, numbers, dates, booleans, error
// codes): such a value is copied by copying the bytes and cleared by forgetting it.
inline constexpr bool IsPlainKind(uint16_t vt) noexcept {
  return vt <= platform::kVtDate || vt == platform::kVtError || vt == platform::kVtBool ||
         (vt >= platform::kVtI1 && vt <= platform::kVtI8);
}

class Variant {
 public:
  Variant() noexcept : raw_{} {}
  Variant(const Variant& other) : raw_{} {
    if (IsPlainKind(other.raw_.vt)) {
      raw_ = other.raw_;
    } else {
      CopyOwned(other);
    }
  }
  Variant(Variant&& other) noexcept : raw_(other.raw_) { other.raw_ = {}; }
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      Clear();
      raw_ = other.raw_;
      other.raw_ = {};
    }
    return *this;
  }
  ~Variant() { Clear(); }

  static Variant Null() noexcept {
    return Plain(platform::kVtNull, [](platform::OleVariant&) {});
  }
  static Variant FromInt(int32_t value) noexcept {
    return Plain(platform::kVtI4, [=](platform::OleVariant& raw) { raw.lVal = value; });
  }
  static Variant FromInt64(int64_t value) noexcept {
    return Plain(platform::kVtI8, [=](platform::OleVariant& raw) { raw.llVal = value; });
  }
  static Variant FromDouble(double value) noexcept {
    return Plain(platform::kVtR8, [=](platform::OleVariant& raw) { raw.dblVal = value; });
  }
  static Variant FromBool(bool value) noexcept {
    return Plain(platform::kVtBool, [=](platform::OleVariant& raw) { raw.boolVal = value ? -1 : 0; });
  }
  // Days since 1899-12-30.
  static Variant FromDate(double days) noexcept {
    return Plain(platform::kVtDate, [=](platform::OleVariant& raw) { raw.dblVal = days; });
  }
  // 8-bit text (UTF-8 on POSIX, the ANSI code page on Windows) as an OLE wide string, code 8.
  static Variant FromText(std::string_view text);
  static Variant FromWide(std::u16string_view text);
  // 8-bit text in the runtime's own string kind, code 0x100.
  static Variant FromAnsiString(std::string_view text);
  // Takes over a raw value: the Variant owns what it holds from now on.
  static Variant Adopt(const platform::OleVariant& raw) noexcept;

  uint16_t type() const noexcept { return raw_.vt; }
  const platform::OleVariant& raw() const noexcept { return raw_; }

  void Clear() noexcept {
    if (IsPlainKind(raw_.vt)) {
      raw_ = {};
    } else {
      ClearOwned();
    }
  }
  // Stores a double in place; what the variant held before is released first (nothing for a number).
  void SetDouble(double value) noexcept {
    Clear();
    raw_.vt = platform::kVtR8;
    raw_.dblVal = value;
  }
  // A code-0x100 string becomes an OLE wide string with the same text; other kinds stay as they are.
  void NormalizeStringKind() {
    if (raw_.vt == kVtString) NormalizeString();
  }

  // Conversions. Each throws EVariantError when the value has no such form (Null, a text that is no
  // number, a number out of range, a kind the platform cannot convert).
  std::string ToText() const;
  void AppendText(std::string& out) const;  // appends ToText() without a temporary
  int32_t ToInt() const;
  double ToDouble() const;
  bool ToBool() const;

  // The value as a double without raising: false for kinds that are not numbers (text included).
  bool NumberAsDouble(double* out) const noexcept;

 private:
  template <typename Fill>
  static Variant Plain(uint16_t vt, Fill fill) noexcept {
    Variant v;
    v.raw_.vt = vt;
    fill(v.raw_);
    return v;
  }
  void CopyOwned(const Variant& other);
  void ClearOwned() noexcept;
  void NormalizeString();
  // Converts into `dest` through the platform; throws EVariantError on failure.
  void ConvertTo(uint16_t vt, platform::OleVariant* dest) const;

  platform::OleVariant raw_;
};

static_assert(sizeof(Variant) == 16);

// True when the value was never assigned (code 0) or is Null (code 1).
inline bool IsMissing(const Variant& value) noexcept {
  return value.type() <= platform::kVtNull;
}
// True when the value holds an OLE wide string or the runtime's 8-bit string.
inline bool IsText(const Variant& value) noexcept {
  return value.type() == platform::kVtBstr || value.type() == kVtString;
}

// The name of a type code for messages, such as "Double" or "OleStr".
std::string_view VariantTypeName(uint16_t vt) noexcept;

}  // namespace kvo
