// One watched variable of the deadband filter: its deadband type and band, whether it has left its
// deadband since the items were last reset, and its reference value; plus how a block's value is
// measured and tested against the band.
//
// Thread contract: an item is a plain object without a lock of its own. The filter that owns it
// (DeadbandFilter) reads and changes it only while holding its item lock.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "deadband/tick_source.h"
#include "params/variant.h"

namespace kvo {

class DeadbandFilter;

enum class TDeadBandType : uint8_t {
  dbAbsolute = 0,    // band in the unit of the measure
  dbPercent = 1,     // band in percent of the reference value
  dbTimeLimit = 2,   // band in seconds
  dbCountLimit = 3,  // band in occurrences
};

// The reference value of an item. Only Null or a double is ever stored there, so a tagged double does
// instead of a full variant and never allocates.
class DeadbandValue {
 public:
  static constexpr DeadbandValue Null() noexcept { return DeadbandValue(); }
  static constexpr DeadbandValue Number(double value) noexcept { return DeadbandValue(value); }

  constexpr bool IsNull() const noexcept { return !has_number_; }
  // The value as a number; Null reads as 0.
  constexpr double AsNumber() const noexcept { return has_number_ ? number_ : 0.0; }

  friend constexpr bool operator==(const DeadbandValue&, const DeadbandValue&) = default;

 private:
  constexpr DeadbandValue() noexcept = default;
  constexpr explicit DeadbandValue(double value) noexcept : has_number_(true), number_(value) {}

  bool has_number_ = false;
  double number_ = 0.0;
};

// The measure of a value for absolute and percent items: numbers (codes 2, 3, 4, 5, 17) by their value,
// a date (7) by its day number, empty and Null (0, 1) by none, every other kind by the number of
// characters of its 8-bit text. A value that has no text form has no measure; the error is swallowed.
// Allocates nothing for numbers, dates, integers, booleans and strings.
bool MeasureValue(const Variant& value, double* measure) noexcept;

struct TDeadBandListItem {
  // `name` is already trimmed; it is lower-cased here. The item starts fresh: no reference for absolute
  // and percent items, the tick counter now for time-limit items, count 0 for count-limit items.
  TDeadBandListItem(const DeadbandFilter* owner, TDeadBandType type, std::string_view name, double band,
                    TickSource& ticks);

  // Back inside the deadband. Time-limit items take the tick counter now as their reference and
  // count-limit items start counting again from 0; absolute and percent items keep their reference.
  void Reset(TickSource& ticks);

  // Evaluates the item with one value of its variable; `now` is the block's tick reading. Returns true
  // when this call moved the item out of its deadband. A change equal to the band leaves it; absolute and
  // percent changes are compared with a tolerance of 2^-44 of the larger operand's magnitude, so decimal
  // steps that binary rounding makes a hair smaller still count as the band (time and counts are exact).
  // Elapsed time is taken modulo 2^32, so a wrap of the tick counter (every 49.7 days) does not keep a
  // time-limit item inside its deadband.
  bool Evaluate(const Variant& value, uint32_t now) noexcept {
    // The usual cases without a call: a double for an item already out of its deadband, and one that keeps
    // an absolute item inside it, which changes nothing. The band test is the general one's, negated;
    // anything else (NaN included) goes the general way.
    if (value.type() == platform::kVtR8) {
      const double measure = value.raw().dblVal;
      if (BandType == TDeadBandType::dbAbsolute && !Passed && !LastValue.IsNull()) {
        const double last = LastValue.AsNumber();
        if (std::fabs(measure - last) < Band - Tolerance(measure, last)) return false;
      } else if (Passed && BandType <= TDeadBandType::dbPercent) {
        // Out of its deadband already: the item only follows its variable.
        LastValue = DeadbandValue::Number(measure);
        return false;
      }
    }
    return EvaluateGeneral(value, now);
  }

  // Decimal data seldom has an exact binary form (1.2 - 1.1 is 0.09999999999999987), so a change that is
  // the band in decimal may come out a hair below it. Changes are compared with this much of the
  // operands' magnitude as tolerance, far above the rounding of one subtraction and far below any band a
  // user sets.
  static double Tolerance(double measure, double last) noexcept {
    return 0x1p-44 * std::max(std::fabs(measure), std::fabs(last));
  }

  const DeadbandFilter* Owner;  // not otherwise used
  bool Passed = false;          // left the deadband since the last reset
  std::string VarName;          // trimmed, lower-cased by the platform
  double Band;
  // Absolute and percent: the last measured value (Null until the first). Time limit: a tick reading.
  // Count limit: occurrences counted since the last reset.
  DeadbandValue LastValue = DeadbandValue::Null();
  TDeadBandType BandType;

 private:
  bool EvaluateGeneral(const Variant& value, uint32_t now) noexcept;
};

}  // namespace kvo
