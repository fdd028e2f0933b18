// The deadband filter engine: building the items and filtering blocks.
#include "deadband/deadband_filter.h"

#include <mutex>
#include <string_view>

#include "text/text_utils.h"

namespace kvo {

DeadbandFilter::DeadbandFilter(TickSource& ticks) : ticks_(ticks) {}

void DeadbandFilter::ResetItems() {
  std::lock_guard guard(lock_);
  for (TDeadBandListItem& item : items_)
    item.Reset(ticks_);
  passed_count_ = 0;
}

void DeadbandFilter::ClearItems() {
  std::lock_guard guard(lock_);
  items_.clear();
  passed_count_ = 0;
}

void DeadbandFilter::BuildItems(const DeadbandSettings& settings) {
  ClearItems();
  std::lock_guard guard(lock_);
  const int32_t relationship = settings.RelationshipIndex();
  relationship_ = relationship < 0 ? 0 : static_cast<uint8_t>(relationship);  // a byte, as stored
  items_.reserve(kDeadbandSlotCount);
  for (int n = 1; n <= kDeadbandSlotCount; ++n) {
    SlotValues slot;
    if (!settings.Slot(n, &slot)) continue;
    if (!slot.var_exists || !slot.var_is_combo) continue;
    const std::string_view name = text::Trim(slot.var_text);
    if (name.empty()) continue;
    if (!slot.type_exists || !slot.type_is_combo || slot.type_index < 0 || slot.type_index > 3) continue;
    if (!slot.val_exists) continue;
    const double band = slot.val_is_text ? BandFromText(slot.val_text) : slot.val_number;
    items_.emplace_back(this, static_cast<TDeadBandType>(slot.type_index), name, band, ticks_);
  }
}

int32_t DeadbandFilter::ProcessData(const TParamsList* data, TParamsList* result_rows) {
  if (result_rows == nullptr) return 0;
  std::lock_guard guard(lock_);
  if (result_rows->Count() != 0) result_rows->Clear();
  if (data == nullptr) return 0;
  const uint32_t now = ticks_.Now();  // one reading for every time-limit test of the block
  const int32_t count = data->Count();
  const size_t item_count = items_.size();
  if (item_count == 0 || count == 0) return 0;

  for (int32_t i = 0; i < count; ++i) {
    const TParamsListElement* element = data->Element(i);
    if (element->IsRowMarker()) continue;  // rows inside a block are no boundaries for the filter
    // The element's LowerName was lower-cased by the same platform routine as VarName; no trimming.
    const std::string_view name = element->LowerName();
    for (TDeadBandListItem& item : items_) {
      if (item.VarName == name) {
        if (item.Evaluate(element->Value(), now)) ++passed_count_;
        break;  // only the first item with the name
      }
    }
    if ((relationship_ == 0 && passed_count_ == item_count) || (relationship_ == 1 && passed_count_ > 0)) {
      result_rows->AppendList(data);
      ResetItems();
      break;
    }
  }
  return 0;
}

size_t DeadbandFilter::ItemCount() const {
  std::lock_guard guard(lock_);
  return items_.size();
}

uint8_t DeadbandFilter::Relationship() const {
  std::lock_guard guard(lock_);
  return relationship_;
}

std::vector<TDeadBandListItem> DeadbandFilter::Items() const {
  std::lock_guard guard(lock_);
  return items_;
}

}  // namespace kvo
