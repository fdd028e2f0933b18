// A small non-re-entrant lock for short sections on the data path: taking and releasing it uncontended is
// one atomic exchange each; a thread that finds it taken sleeps on the lock word (a futex on Linux)
// until the holder wakes it.
//
// Thread contract: lock/unlock from any thread; locking it twice from one thread deadlocks. Satisfies
// BasicLockable. The exchanges have acquire and release order, so ThreadSanitizer sees what it guards.
#pragma once

#include <atomic>
#include <cstdint>

namespace kvo::platform {

class LightLock {
 public:
  LightLock() = default;
  LightLock(const LightLock&) = delete;
  LightLock& operator=(const LightLock&) = delete;

  void lock() noexcept {
    if (state_.exchange(kLocked, std::memory_order_acquire) != kFree) LockContended();
  }
  void unlock() noexcept {
    if (state_.exchange(kFree, std::memory_order_release) == kContended) state_.notify_one();
  }

 private:
  static constexpr uint32_t kFree = 0;
  static constexpr uint32_t kLocked = 1;
  static constexpr uint32_t kContended = 2;  // taken, and someone may be asleep on it

  void LockContended() noexcept {
    while (state_.exchange(kContended, std::memory_order_acquire) != kFree)
      state_.wait(kContended, std::memory_order_relaxed);
  }

  std::atomic<uint32_t> state_{kFree};
};

}  // namespace kvo::platform
