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

// The row marker's lookup key, which only an item of that name shares with the marker.
bool IsRowMarkerKey(std::string_view key) noexcept {
  constexpr std::string_view kMarkerKey = "$new_row$";
  return key == kMarkerKey;
}

}  // namespace

[[gnu::always_inline]] inline DeadbandFilter::NameKey DeadbandFilter::KeyOf(std::string_view name) noexcept {
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

size_t DeadbandFilter::SlotOf(const NameKey& key) noexcept {
  // The head is mixed in before the tail, which for names of 8 to 16 bytes overlaps it (all of it at 8).
  constexpr uint64_t kMix = 0x9E3779B97F4A7C15u;
  return static_cast<size_t>((((key.head * kMix) ^ key.tail ^ key.length) * kMix) >> 60) % kTableSize;
}

// Inline: it runs for every element of a block whose length some item's name has. The probe makes no
// call, so that the filter's loop keeps its values in registers; names longer than a key finish the search
// out of line.
[[gnu::always_inline]] inline int32_t DeadbandFilter::ItemNamed(std::string_view name) const noexcept {
  const NameKey key = KeyOf(name);
  for (size_t at = SlotOf(key);; at = (at + 1) % kTableSize) {
    const TableSlot& slot = table_[at];
    if (slot.item < 0) return -1;
    if (slot.key.head == key.head && slot.key.tail == key.tail && slot.key.length == key.length) {
      return key.length <= 16 ? slot.item : LongItemNamed(name, at);
    }
  }
}

int32_t DeadbandFilter::LongItemNamed(std::string_view name, size_t at) const noexcept {
  const NameKey key = KeyOf(name);
  for (;; at = (at + 1) % kTableSize) {
    const TableSlot& slot = table_[at];
    if (slot.item < 0) return -1;
    if (slot.key.head == key.head && slot.key.tail == key.tail && slot.key.length == key.length &&
        std::memcmp(name.data() + 8, items_[static_cast<size_t>(slot.item)].VarName.data() + 8,
                    key.length - 16) == 0) {
      return slot.item;
    }
  }
}

bool DeadbandFilter::HasLength(size_t length) const noexcept {
  return (lengths_ >> (length % 64) & 1) != 0;
}

DeadbandFilter::DeadbandFilter(TickSource& ticks) : ticks_(ticks) {
  ClearItemsLocked();
}

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
  ClearItemsLocked();
}

void DeadbandFilter::ClearItemsLocked() {
  items_.clear();
  for (TableSlot& slot : table_)
    slot = TableSlot{{0, 0, 0}, -1};
  lengths_ = 0;
  marker_item_ = -1;
  has_time_items_ = false;
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
    if (!slot.names_variable) continue;
    const std::string_view name = text::Trim(slot.var_text);
    if (name.empty()) continue;
    if (!slot.selects_type || slot.type_index < 0 || slot.type_index > 3) continue;
    if (!slot.val_exists) continue;
    const double band = slot.val_is_text ? BandFromText(slot.val_text) : slot.val_number;
    const TDeadBandListItem& item =
        items_.emplace_back(this, static_cast<TDeadBandType>(slot.type_index), name, band, ticks_);
    has_time_items_ = has_time_items_ || item.BandType == TDeadBandType::dbTimeLimit;
    // Only the first item of a name is ever matched; a later one with the same name takes no place.
    const int32_t index = static_cast<int32_t>(items_.size() - 1);
    const std::string_view key_text = item.VarName;
    if (HasLength(key_text.size()) && ItemNamed(key_text) >= 0) continue;
    lengths_ |= uint64_t{1} << (key_text.size() % 64);
    const NameKey key = KeyOf(key_text);
    size_t at = SlotOf(key);
    while (table_[at].item >= 0)
      at = (at + 1) % kTableSize;
    table_[at] = TableSlot{key, index};
    if (IsRowMarkerKey(key_text)) marker_item_ = index;
  }
}

int32_t DeadbandFilter::ProcessData(const TParamsList* data, TParamsList* result_rows) {
  if (result_rows == nullptr) return 0;
  std::lock_guard guard(lock_);
  if (result_rows->Count() != 0) result_rows->Clear();
  if (data == nullptr || items_.empty()) return 0;
  // One reading for every time-limit test of the block; without such items nobody would look at it.
  const uint32_t now = has_time_items_ ? ticks_.Now() : 0;
  if (!BlockPasses(*data, now)) return 0;
  result_rows->AppendList(data);
  ResetItemsLocked();
  return 0;
}

[[gnu::always_inline]] inline bool DeadbandFilter::BlockPasses(const TParamsList& data,
                                                               uint32_t now) noexcept {
  const int32_t count = data.Count();
  for (int32_t i = 0; i < count; ++i) {
    const TParamsListElement* element = data.Element(i);
    // The element's LowerName was lower-cased by the same platform routine as VarName; no trimming.
    const std::string_view name = element->LowerName();
    if (!HasLength(name.size())) continue;
    const int32_t k = ItemNamed(name);
    if (k < 0) continue;
    // Rows inside a block are no boundaries for the filter: a row marker is never a value.
    if (k == marker_item_ && IsRowMarkerName(element->Name())) continue;
    if (!items_[static_cast<size_t>(k)].Evaluate(element->Value(), now)) continue;
    // Only an item that has just left its deadband can make the block pass: at the start of a block it
    // does not (a block that passes re-arms the items).
    ++passed_count_;
    if ((relationship_ == 0 && passed_count_ == items_.size()) || (relationship_ == 1 && passed_count_ > 0)) {
      return true;
    }
  }
  return false;
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
