// Measuring and evaluating one watched variable.
#include "deadband/deadband_item.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/oleaut.h"
#include "platform/text_codec.h"

namespace kvo {
namespace {

uint32_t DecimalLength(uint64_t magnitude) noexcept {
  uint32_t length = 1;
  for (; magnitude >= 10; magnitude /= 10)
    ++length;
  return length;
}

// The length of the integer's decimal text, minus sign included, without making the text.
uint32_t SignedDecimalLength(int64_t value) noexcept {
  if (value >= 0) return DecimalLength(static_cast<uint64_t>(value));
  return 1 + DecimalLength(0 - static_cast<uint64_t>(value));
}

// The number of characters of 8-bit text. On POSIX that text is UTF-8, whose continuation bytes are not
// characters of their own; on Windows it is the ANSI code page, whose text length counts bytes.
size_t CharacterCount(std::string_view text) noexcept {
#ifdef _WIN32
  return text.size();
#else
  size_t count = 0;
  for (const char c : text)
    count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
  return count;
#endif
}

}  // namespace

bool MeasureValue(const Variant& value, double* measure) noexcept {
  const platform::OleVariant& raw = value.raw();
  switch (raw.vt) {
    case platform::kVtEmpty:
    case platform::kVtNull:
      return false;
    case platform::kVtI2:
      *measure = raw.iVal;
      return true;
    case platform::kVtI4:
      *measure = raw.lVal;
      return true;
    case platform::kVtR4:
      *measure = raw.fltVal;
      return true;
    case platform::kVtR8:
    case platform::kVtDate:
      *measure = raw.dblVal;
      return true;
    case platform::kVtUi1:
      *measure = raw.bVal;
      return true;
    // Kinds measured by the length of their text, where that length is known without making the text.
    // Counted in UTF-16 units: the length of its ANSI form on Windows; on POSIX the number of characters,
    // except that one outside the Basic Multilingual Plane counts two. Both builds thus measure alike.
    case platform::kVtBstr:
      *measure = platform::BstrLength(raw.bstrVal);
      return true;
    case platform::kVtBool:
      *measure = raw.boolVal != 0 ? 4 : 5;
      return true;  // "True", "False"
    case platform::kVtI1:
      *measure = SignedDecimalLength(raw.cVal);
      return true;
    case platform::kVtUi2:
      *measure = DecimalLength(raw.uiVal);
      return true;
    case platform::kVtUi4:
      *measure = DecimalLength(raw.ulVal);
      return true;
    case platform::kVtI8:
      *measure = SignedDecimalLength(raw.llVal);
      return true;
    case kVtString: {
      const char* chars = static_cast<const char*>(raw.byref);
      const uint32_t length = chars ? reinterpret_cast<const uint32_t*>(chars)[-1] : 0;
      *measure = static_cast<double>(CharacterCount(std::string_view(chars ? chars : "", length)));
      return true;
    }
    default:
      // Currency and the rest: only the platform knows their text form.
      try {
        std::string text;
        value.AppendText(text);
        *measure = static_cast<double>(CharacterCount(text));
        return true;
      } catch (...) {
        return false;  // no text form, or no memory for it: no measure
      }
  }
}

TDeadBandListItem::TDeadBandListItem(const DeadbandFilter* owner, TDeadBandType type, std::string_view name,
                                     double band, TickSource& ticks)
    : Owner(owner), VarName(name), Band(band), BandType(type) {
  platform::LowerNarrow(VarName.data(), VarName.size());
  Reset(ticks);
}

void TDeadBandListItem::Reset(TickSource& ticks) {
  Passed = false;
  if (BandType == TDeadBandType::dbTimeLimit) {
    LastValue = DeadbandValue::Number(ticks.Now());
  } else if (BandType == TDeadBandType::dbCountLimit) {
    LastValue = DeadbandValue::Number(0);
  }
}

bool TDeadBandListItem::EvaluateGeneral(const Variant& value, uint32_t now) noexcept {
  const bool reference_kind = BandType == TDeadBandType::dbAbsolute || BandType == TDeadBandType::dbPercent;
  double measure;
  if (reference_kind) {
    // Doubles, the usual values, are measured here without the general conversion.
    if (value.type() == platform::kVtR8) {
      measure = value.raw().dblVal;
    } else if (!MeasureValue(value, &measure)) {
      return false;
    }
  } else if (BandType == TDeadBandType::dbTimeLimit) {
    measure = now;
  } else {
    measure = LastValue.AsNumber();
  }

  const bool was_passed = Passed;
  if (reference_kind && LastValue.IsNull()) Passed = true;  // the first value always leaves the deadband
  if (!Passed) {
    const double last = LastValue.AsNumber();
    switch (BandType) {
      case TDeadBandType::dbAbsolute:
        Passed = std::fabs(measure - last) >= Band - Tolerance(measure, last);
        break;
      case TDeadBandType::dbPercent:
        Passed = last == 0 || std::fabs((measure - last) * 100 / last) >=
                                  Band - Tolerance(measure, last) * 100 / std::fabs(last);
        break;
      case TDeadBandType::dbTimeLimit: {
        // Modulo 2^32, so that a wrap of the tick counter between the two readings does not hold the item
        // inside its deadband until the next reset.
        const uint32_t elapsed = static_cast<uint32_t>(measure) - static_cast<uint32_t>(last);
        Passed = static_cast<double>(elapsed) >= Band * 1000;
        break;
      }
      case TDeadBandType::dbCountLimit:
        measure += 1;
        Passed = measure >= Band;
        LastValue = DeadbandValue::Number(measure);
        break;
    }
  }
  if (Passed) LastValue = DeadbandValue::Number(measure);
  return Passed && !was_passed;
}

}  // namespace kvo
