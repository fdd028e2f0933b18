// Result rows per calling thread: the lookup behind the per-thread cache.
#include "plugin/caller_rows.h"

namespace kvo {
namespace {

std::atomic<uint64_t> g_last_opening{0};

// The calling thread's token, made on its first lookup; it goes when the thread ends.
const std::shared_ptr<const char>& ThreadToken() {
  thread_local std::shared_ptr<const char> token = std::make_shared<const char>('t');
  return token;
}

}  // namespace

CallerRows::~CallerRows() {
  Close();
}

void CallerRows::Open() {
  std::lock_guard guard(lock_);
  if (opening_.load(std::memory_order_relaxed) != 0) return;
  opening_.store(g_last_opening.fetch_add(1, std::memory_order_relaxed) + 1, std::memory_order_release);
}

void CallerRows::Close() noexcept {
  std::vector<Slot> slots;
  {
    std::lock_guard guard(lock_);
    opening_.store(0, std::memory_order_release);
    slots.swap(slots_);
  }
}

TRowsParamsList* CallerRows::Lookup(uint64_t opening) noexcept {
  try {
    const std::shared_ptr<const char>& token = ThreadToken();
    TRowsParamsList* rows = nullptr;
    {
      std::lock_guard guard(lock_);
      if (opening_.load(std::memory_order_relaxed) != opening) return nullptr;  // closed meanwhile
      Slot* free_slot = nullptr;
      for (Slot& slot : slots_) {
        if (slot.owner.expired()) {
          if (!free_slot) free_slot = &slot;
        } else if (slot.owner_id == token.get()) {
          rows = slot.rows.get();
          break;
        }
      }
      if (!rows) {
        if (free_slot) {
          free_slot->rows->Clear();  // what the ended thread was last lent
        } else {
          free_slot = &slots_.emplace_back();
          free_slot->rows = std::make_unique<TResultRowsList>();
        }
        free_slot->owner = token;
        free_slot->owner_id = token.get();
        rows = free_slot->rows.get();
      }
    }
    caller_rows_detail::Cache& cache = caller_rows_detail::t_cache;
    cache.entries[cache.next] = {opening, rows};
    cache.next = (cache.next + 1) % 4;
    return rows;
  } catch (...) {
    return nullptr;  // no memory for the list, the slot or the token
  }
}

}  // namespace kvo
