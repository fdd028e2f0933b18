// Owned VARIANT values and their conversions.
#include "params/variant.h"

#include <charconv>
#include <cstring>
#include <new>
#include <utility>

#include "params/exceptions.h"
#include "platform/text_codec.h"

namespace kvo {
namespace {

using platform::OleVariant;

[[noreturn]] void ThrowConversion(uint16_t from, uint16_t to) {
  std::string message = "Could not convert variant of type (";
  message += VariantTypeName(from);
  message += ") into type (";
  message += VariantTypeName(to);
  message += ")";
  throw EVariantError(message);
}

// Frees a raw value's contents, whichever side of the boundary made it.
void ClearRaw(OleVariant& raw) noexcept {
  if (raw.vt == kVtString) {
    AnsiString::Release(static_cast<char*>(raw.byref));
    raw = {};
  } else if (raw.vt != platform::kVtEmpty) {
    platform::VariantClear(&raw);
    raw = {};
  }
}

void AppendDouble(double value, std::string& out) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

template <typename Int>
void AppendInteger(Int value, std::string& out) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

}  // namespace

std::string_view VariantTypeName(uint16_t vt) noexcept {
  switch (vt) {
    case platform::kVtEmpty:
      return "Empty";
    case platform::kVtNull:
      return "Null";
    case platform::kVtI2:
      return "Smallint";
    case platform::kVtI4:
      return "Integer";
    case platform::kVtR4:
      return "Single";
    case platform::kVtR8:
      return "Double";
    case platform::kVtCy:
      return "Currency";
    case platform::kVtDate:
      return "Date";
    case platform::kVtBstr:
      return "OleStr";
    case platform::kVtError:
      return "Error";
    case platform::kVtBool:
      return "Boolean";
    case platform::kVtI1:
      return "ShortInt";
    case platform::kVtUi1:
      return "Byte";
    case platform::kVtUi2:
      return "Word";
    case platform::kVtUi4:
      return "LongWord";
    case platform::kVtI8:
      return "Int64";
    case kVtString:
      return "String";
    default:
      return "Unknown";
  }
}

void Variant::CopyOwned(const Variant& other) {
  if (other.raw_.vt == kVtString) {
    raw_ = other.raw_;
    AnsiString::AddRef(static_cast<char*>(raw_.byref));
  } else if (other.raw_.vt != platform::kVtEmpty) {
    if (platform::VariantCopy(&raw_, &other.raw_) != 0) {
      raw_ = {};
      if (other.raw_.vt == platform::kVtBstr) throw std::bad_alloc();
      ThrowConversion(other.raw_.vt, other.raw_.vt);
    }
  }
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void Variant::ClearOwned() noexcept {
  ClearRaw(raw_);
}

Variant Variant::FromWide(std::u16string_view text) {
  if (text.size() > 0x3FFFFFF0u) throw std::bad_alloc();
  platform::Bstr bstr = platform::BstrAlloc(text.data(), static_cast<uint32_t>(text.size()));
  if (!bstr) throw std::bad_alloc();
  Variant v;
  v.raw_.vt = platform::kVtBstr;
  v.raw_.bstrVal = bstr;
  return v;
}

Variant Variant::FromText(std::string_view text) {
  return FromWide(platform::WideFromNarrow(text));
}

Variant Variant::FromAnsiString(std::string_view text) {
  Variant v;
  v.raw_.vt = kVtString;
  v.raw_.byref = AnsiString::Allocate(text.size());
  if (!text.empty()) std::memcpy(v.raw_.byref, text.data(), text.size());
  return v;
}

Variant Variant::Adopt(const platform::OleVariant& raw) noexcept {
  Variant v;
  v.raw_ = raw;
  return v;
}

void Variant::NormalizeString() {
  const char* chars = static_cast<const char*>(raw_.byref);
  std::string_view text =
      chars ? std::string_view(chars, reinterpret_cast<const uint32_t*>(chars)[-1]) : std::string_view();
  *this = FromText(text);
}

void Variant::ConvertTo(uint16_t vt, platform::OleVariant* dest) const {
  *dest = {};
  if (raw_.vt == kVtString) {
    Variant wide(*this);
    wide.NormalizeStringKind();
    wide.ConvertTo(vt, dest);
    return;
  }
  if (platform::VariantChangeType(dest, &raw_, vt) != 0) {
    *dest = {};
    ThrowConversion(raw_.vt, vt);
  }
}

void Variant::AppendText(std::string& out) const {
  switch (raw_.vt) {
    case platform::kVtEmpty:
      return;
    case platform::kVtI2:
      return AppendInteger(raw_.iVal, out);
    case platform::kVtI4:
      return AppendInteger(raw_.lVal, out);
    case platform::kVtI1:
      return AppendInteger(raw_.cVal, out);
    case platform::kVtUi1:
      return AppendInteger(raw_.bVal, out);
    case platform::kVtUi2:
      return AppendInteger(raw_.uiVal, out);
    case platform::kVtUi4:
      return AppendInteger(raw_.ulVal, out);
    case platform::kVtI8:
      return AppendInteger(raw_.llVal, out);
    case platform::kVtR8:
      return AppendDouble(raw_.dblVal, out);
    case platform::kVtR4: {
      char buffer[32];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, raw_.fltVal);
      out.append(buffer, result.ptr);
      return;
    }
    case platform::kVtBool:
      out += raw_.boolVal ? "True" : "False";
      return;
    case platform::kVtBstr:
      platform::AppendNarrowFromWide(
          std::u16string_view(raw_.bstrVal ? raw_.bstrVal : u"", platform::BstrLength(raw_.bstrVal)), out);
      return;
    case kVtString: {
      const char* chars = static_cast<const char*>(raw_.byref);
      if (chars) out.append(chars, reinterpret_cast<const uint32_t*>(chars)[-1]);
      return;
    }
    default: {
      Variant text;
      ConvertTo(platform::kVtBstr, &text.raw_);
      text.AppendText(out);
    }
  }
}

std::string Variant::ToText() const {
  std::string out;
  AppendText(out);
  return out;
}

int32_t Variant::ToInt() const {
  if (raw_.vt == platform::kVtI4) return raw_.lVal;
  Variant result;
  ConvertTo(platform::kVtI4, &result.raw_);
  return result.raw_.lVal;
}

double Variant::ToDouble() const {
  double value;
  if (NumberAsDouble(&value)) return value;
  Variant result;
  ConvertTo(platform::kVtR8, &result.raw_);
  return result.raw_.dblVal;
}

bool Variant::ToBool() const {
  if (raw_.vt == platform::kVtBool) return raw_.boolVal != 0;
  Variant result;
  ConvertTo(platform::kVtBool, &result.raw_);
  return result.raw_.boolVal != 0;
}

bool Variant::NumberAsDouble(double* out) const noexcept {
  switch (raw_.vt) {
    case platform::kVtR8:
      *out = raw_.dblVal;
      return true;
    case platform::kVtI4:
      *out = raw_.lVal;
      return true;
    case platform::kVtR4:
      *out = raw_.fltVal;
      return true;
    case platform::kVtI2:
      *out = raw_.iVal;
      return true;
    case platform::kVtI8:
      *out = static_cast<double>(raw_.llVal);
      return true;
    case platform::kVtI1:
      *out = raw_.cVal;
      return true;
    case platform::kVtUi1:
      *out = raw_.bVal;
      return true;
    case platform::kVtUi2:
      *out = raw_.uiVal;
      return true;
    case platform::kVtUi4:
      *out = raw_.ulVal;
      return true;
    case platform::kVtCy:
      *out = static_cast<double>(raw_.llVal) / 10000.0;
      return true;
    default:
      return false;
  }
}

}  // namespace kvo
