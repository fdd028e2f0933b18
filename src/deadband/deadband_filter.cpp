// The deadband filter engine: building the items and filtering blocks.
#include "deadband/deadband_filter.h"

#include <cstring>
#include <mutex>
#include <string_view>

#include "text/text_utils.h"

namespace kvo {
namespace {

uint64_t Load8(const char* bytes) noexcept {
  uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// The exact, case-sensitive row-marker test, by two loads instead of a memory compare.
bool IsRowMarkerName(std::string_view name) noexcept {
  static_assert(kNewRowMarker.size() == 9);
  return name.size() == 9 && Load8(name.data()) == Load8(kNewRowMarker.data()) && name[8] == kNewRowMarker[8];
}

}  // namespace

DeadbandFilter::NameKey DeadbandFilter::KeyOf(std::string_view name) noexcept {
  // Fixed-size loads only (a short name's bytes are read by two overlapping loads), so that no library
  // copy runs per element. The bytes each key covers make it equal for equal names of the same length.
  NameKey key{0, 0, name.size()};
  const char* bytes = name.data();
  if (name.size() >= 8) {
    key.head = Load8(bytes);
    key.tail = Load8(bytes + name.size() - 8);
  } else if (name.size() >= 4) {
    uint32_t first, last;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + name.size() - 4, 4);
    key.head = first | uint64_t{last} << 32;
  } else {
    for (size_t k = 0; k < name.size(); ++k)
      key.head |= uint64_t{static_cast<unsigned char>(bytes[k])} << (8 * k);
  }
  return key;
}

DeadbandFilter::DeadbandFilter(TickSource& ticks) : ticks_(ticks) {}

void DeadbandFilter::ResetItems() {
  std::lock_guard guard(lock_);
  ResetItemsLocked();
}

void DeadbandFilter::ResetItemsLocked() {
  for (TDeadBandListItem& item : items_)
    item.Reset(ticks_);
  passed_count_ = 0;
}

void DeadbandFilter::ClearItems() {
  std::lock_guard guard(lock_);
  items_.clear();
  keys_.clear();
  has_time_items_ = false;
  passed_count_ = 0;
}

void DeadbandFilter::BuildItems(const DeadbandSettings& settings) {
  ClearItems();
  std::lock_guard guard(lock_);
  const int32_t relationship = settings.RelationshipIndex();
  relationship_ = relationship < 0 ? 0 : static_cast<uint8_t>(relationship);  // a byte, as stored
  items_.reserve(kDeadbandSlotCount);
  keys_.reserve(kDeadbandSlotCount);
  for (int n = 1; n <= kDeadbandSlotCount; ++n) {
    SlotValues slot;
    if (!settings.Slot(n, &slot)) continue;
    if (!slot.names_variable) continue;
    const std::string_view name = text::Trim(slot.var_text);
    if (name.empty()) continue;
    if (!slot.selects_type || slot.type_index < 0 || slot.type_index > 3) continue;
    if (!slot.val_exists) continue;
    const double band = slot.val_is_text ? BandFromText(slot.val_text) : slot.val_number;
    const TDeadBandListItem& item =
        items_.emplace_back(this, static_cast<TDeadBandType>(slot.type_index), name, band, ticks_);
    keys_.push_back(KeyOf(item.VarName));
    has_time_items_ = has_time_items_ || item.BandType == TDeadBandType::dbTimeLimit;
  }
}

int32_t DeadbandFilter::ProcessData(const TParamsList* data, TParamsList* result_rows) {
  if (result_rows == nullptr) return 0;
  std::lock_guard guard(lock_);
  if (result_rows->Count() != 0) result_rows->Clear();
  if (data == nullptr) return 0;
  // One reading for every time-limit test of the block; without such items nobody would look at it.
  const uint32_t now = has_time_items_ ? ticks_.Now() : 0;
  const int32_t count = data->Count();
  const size_t item_count = items_.size();
  if (item_count == 0 || count == 0) return 0;

  for (int32_t i = 0; i < count; ++i) {
    const TParamsListElement* element = data->Element(i);
    if (IsRowMarkerName(element->Name())) continue;  // rows inside a block are no boundaries for the filter
    // The element's LowerName was lower-cased by the same platform routine as VarName; no trimming.
    const std::string_view name = element->LowerName();
    const NameKey key = KeyOf(name);
    for (size_t k = 0; k < item_count; ++k) {
      const NameKey& candidate = keys_[k];
      if (candidate.head != key.head || candidate.tail != key.tail || candidate.length != key.length)
        continue;
      if (key.length > 16 &&
          std::memcmp(name.data() + 8, items_[k].VarName.data() + 8, key.length - 16) != 0) {
        continue;
      }
      if (items_[k].Evaluate(element->Value(), now)) ++passed_count_;
      break;  // only the first item with the name
    }
    if ((relationship_ == 0 && passed_count_ == item_count) || (relationship_ == 1 && passed_count_ > 0)) {
      result_rows->AppendList(data);
      ResetItemsLocked();
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
