// The result rows of one plug-in instance, one list per calling thread: the list a data call lends the
// host stays as it was until the same thread's next data call on the instance, whatever other threads
// do meanwhile. A thread alone always gets the same list.
//
// Thread contract: ForThisThread may be called from any thread; each thread gets and fills only its own
// list. Open and Close are for the first "LOAD" and the last "UNLOAD"; Close frees every list, so it
// REQUIRES that no data call is using one (the instance gate waits for that). `lock_` guards `slots_`.
// A thread's last lookups are cached per thread, keyed by a number that no other opening ever takes, so a
// cache entry of a closed or destroyed instance never matches again.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "params/params_list.h"

namespace kvo {

namespace caller_rows_detail {
struct CacheEntry {
  uint64_t opening = 0;
  TRowsParamsList* rows = nullptr;
};
// A few entries, so a host thread that serves several places of its configuration in turn still finds
// each one's list without the lock.
struct Cache {
  CacheEntry entries[4];
  uint32_t next = 0;
};
inline constinit thread_local Cache t_cache{};
}  // namespace caller_rows_detail

class CallerRows {
 public:
  CallerRows() = default;
  ~CallerRows();
  CallerRows(const CallerRows&) = delete;
  CallerRows& operator=(const CallerRows&) = delete;

  // Lists can be had from now on (the first "LOAD"); nothing happens when they already can.
  void Open();
  // Frees every list; ForThisThread gives null until the next Open.
  void Close() noexcept;
  bool IsOpen() const noexcept { return opening_.load(std::memory_order_acquire) != 0; }

  // The calling thread's list, made empty on its first use; null while closed or when no memory is left.
  TRowsParamsList* ForThisThread() noexcept {
    const uint64_t opening = opening_.load(std::memory_order_acquire);
    if (opening == 0) return nullptr;
    for (const caller_rows_detail::CacheEntry& entry : caller_rows_detail::t_cache.entries) {
      if (entry.opening == opening) return entry.rows;
    }
    return Lookup(opening);
  }

 private:
  // One thread's list. The thread is known by a token that lives as long as the thread does: the list of
  // a thread that has ended is handed to the next new thread.
  struct Slot {
    std::weak_ptr<const char> owner;
    const char* owner_id = nullptr;
    std::unique_ptr<TRowsParamsList> rows;
  };

  TRowsParamsList* Lookup(uint64_t opening) noexcept;

  std::atomic<uint64_t> opening_{0};  // 0 while closed; else this opening's process-wide number
  std::mutex lock_;
  std::vector<Slot> slots_;  // guarded by lock_
};

}  // namespace kvo
