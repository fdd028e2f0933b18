// What the deadband filter's items are built from: eight variable slots (a name, a deadband type and a
// band each) and one relationship, read through a small interface so that a settings form and an
// in-memory record can both feed DeadbandFilter::BuildItems.
//
// Thread contract: a settings object is read by BuildItems in the caller's thread while the filter holds
// its item lock; it has no lock of its own, so the caller must not change it concurrently.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "deadband/settings_table.h"

namespace kvo {

// What one slot n holds: a variable name, a deadband type and a band. Whether a control of the settings
// form can give one of them is the form's business; the filter only learns what it gives.
struct SlotValues {
  bool names_variable = false;  // then var_text is the name as entered: BuildItems trims it
  std::string var_text;

  bool selects_type = false;  // then type_index is the type chosen, -1 for none
  int32_t type_index = -1;

  bool val_exists = false;   // the slot has a band
  bool val_is_text = false;  // then val_text holds the band, else val_number
  double val_number = 0.0;
  std::string val_text;
};

class DeadbandSettings {
 public:
  virtual ~DeadbandSettings();
  // Item index of the relationship selector: 0 AND, 1 OR, negative when nothing is selected.
  virtual int32_t RelationshipIndex() const = 0;
  // Fills `out` (default-constructed by the caller) for slot `n`, 1 to 8. False when there is nothing at
  // all for the slot, which is then skipped.
  virtual bool Slot(int n, SlotValues* out) const = 0;
};

// The band of a slot whose editor holds text: a decimal number with "." as separator and an optional
// exponent, blanks around it allowed; anything else (an empty text, "inf", "nan", trailing garbage) reads
// as 0.
double BandFromText(std::string_view text) noexcept;

// Settings held in memory: for tests, and for a filter used before a settings form exists. A new object
// has every slot missing and the relationship unselected.
class MemoryDeadbandSettings final : public DeadbandSettings {
 public:
  // A complete slot: name, type index and band.
  void SetSlot(int n, std::string_view name, int32_t type_index, double band);
  // Direct access for the odd cases (no name or type, text bands). REQUIRES: 1 <= n <= 8.
  SlotValues& MutableSlot(int n);
  void SetRelationshipIndex(int32_t index) { relationship_index_ = index; }

  int32_t RelationshipIndex() const override { return relationship_index_; }
  bool Slot(int n, SlotValues* out) const override;

 private:
  std::array<SlotValues, kDeadbandSlotCount> slots_{};
  int32_t relationship_index_ = -1;
};

}  // namespace kvo
