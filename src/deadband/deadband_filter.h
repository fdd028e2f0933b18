// The deadband filter engine: the watched variables (items) of one plug-in instance and the decision,
// block by block, whether a block of named values is passed on whole or dropped.
//
// A block passes as soon as, element by element, the relationship holds: AND when every item has left its
// deadband since the last passed block, OR when one has. A passing block is copied whole into the result
// rows and every item is re-armed; the rest of the block is copied without being evaluated.
//
// Thread contract: every method may be called from any thread. The items and the relationship are guarded
// by the item lock, which ProcessData holds for a whole block (the emptying and filling of the result rows
// included). The lock is a light one taken once per block: ProcessData re-arms the items it holds it for
// without taking it again, and no method is called with it held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "deadband/deadband_item.h"
#include "deadband/deadband_settings.h"
#include "deadband/tick_source.h"
#include "params/params_list.h"
#include "platform/light_lock.h"

namespace kvo {

class DeadbandFilter {
 public:
  // `ticks` must outlive the filter. A new filter has no items, so it drops every block.
  explicit DeadbandFilter(TickSource& ticks = SystemTickSource::Instance());
  DeadbandFilter(const DeadbandFilter&) = delete;
  DeadbandFilter& operator=(const DeadbandFilter&) = delete;

  // Re-arms every item, in list order, under the item lock.
  void ResetItems();
  // Destroys every item; the relationship stays.
  void ClearItems();
  // Clears the items, then, under the lock again, takes the relationship and one item per active slot in
  // slot order. A block processed in between finds no items and is dropped.
  void BuildItems(const DeadbandSettings& settings);

  // Filters one block: empties `result_rows`, then, when the block passes, appends a copy of the whole
  // block to it (closed by a row marker if the block does not end with one) and re-arms the items.
  // Always returns 0. The tick counter is read once per block, and only when there are time-limit items
  // to test with it. A null `data` only empties the result rows. A null `result_rows` (no result list yet)
  // does nothing at all: the items are not evaluated, since a passing block would have nowhere to go.
  // Errors other than those of measuring a value (for example no memory for the copy) are raised, with the
  // lock released.
  int32_t ProcessData(const TParamsList* data, TParamsList* result_rows);

  size_t ItemCount() const;
  // 0 AND, 1 OR; any other value never lets a block pass.
  uint8_t Relationship() const;
  // A copy of the items, for tests and diagnostics.
  std::vector<TDeadBandListItem> Items() const;

 private:
  // A name reduced to its length and its first and last 8 bytes (all of a shorter one). Names of up to 16
  // bytes are equal exactly when their keys are, so matching an element against the items compares integers,
  // not memory.
  struct NameKey {
    uint64_t head;
    uint64_t tail;
    size_t length;
  };
  // One place of the item table: the key of an item's name and the item's index, -1 when the place is free.
  struct TableSlot {
    NameKey key;
    int32_t item;
  };
  // Open addressing over twice the most items there can be, so that a probe ends soon at a free place.
  static constexpr size_t kTableSize = 16;
  static_assert(kTableSize >= 2 * kDeadbandSlotCount);

  static NameKey KeyOf(std::string_view name) noexcept;
  static size_t SlotOf(const NameKey& key) noexcept;
  // The index of the first item named `name` (a lower-cased key), or -1. REQUIRES: lock_ held.
  int32_t ItemNamed(std::string_view name) const noexcept;
  int32_t LongItemNamed(std::string_view name, size_t at) const noexcept;
  // Evaluates the block's elements until one makes it pass (true). REQUIRES: lock_ held, items exist.
  bool BlockPasses(const TParamsList& data, uint32_t now) noexcept;
  // False when no item's name has `length` bytes. REQUIRES: lock_ held.
  bool HasLength(size_t length) const noexcept;
  void ResetItemsLocked();  // REQUIRES: lock_ held
  void ClearItemsLocked();  // REQUIRES: lock_ held

  TickSource& ticks_;
  mutable platform::LightLock lock_;      // the item lock
  std::vector<TDeadBandListItem> items_;  // guarded by lock_
  TableSlot table_[kTableSize];           // guarded by lock_: the first item of each name, by its key
  // Guarded by lock_: bit n set when an item's name has n bytes modulo 64, so most elements that name no
  // item are passed over by their length alone.
  uint64_t lengths_ = 0;
  // Guarded by lock_: the item whose name is the row marker's key, -1 when none; only for it must a
  // matching element be told apart from a row marker.
  int32_t marker_item_ = -1;
  bool has_time_items_ = false;  // guarded by lock_: only these need the block's tick reading
  uint8_t relationship_ = 0;     // guarded by lock_
  size_t passed_count_ = 0;      // guarded by lock_: items whose Passed is set
};

}  // namespace kvo
