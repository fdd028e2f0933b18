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

class Variant {
 public:
  Variant() noexcept : raw_{} {}
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept : raw_(other.raw_) { other.raw_ = {}; }
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { Clear(); }

  static Variant Null() noexcept;
  static Variant FromInt(int32_t value) noexcept;
  static Variant FromInt64(int64_t value) noexcept;
  static Variant FromDouble(double value) noexcept;
  static Variant FromBool(bool value) noexcept;
  static Variant FromDate(double days) noexcept;  // days since 1899-12-30
  // 8-bit text (UTF-8 on POSIX, the ANSI code page on Windows) as an OLE wide string, code 8.
  static Variant FromText(std::string_view text);
  static Variant FromWide(std::u16string_view text);
  // 8-bit text in the runtime's own string kind, code 0x100.
  static Variant FromAnsiString(std::string_view text);
  // Takes over a raw value: the Variant owns what it holds from now on.
  static Variant Adopt(const platform::OleVariant& raw) noexcept;

  uint16_t type() const noexcept { return raw_.vt; }
  const platform::OleVariant& raw() const noexcept { return raw_; }

  void Clear() noexcept;
  // A code-0x100 string becomes an OLE wide string with the same text; other kinds stay as they are.
  void NormalizeStringKind();

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
