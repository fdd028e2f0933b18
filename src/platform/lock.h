// Locks for module state shared between host threads.
//
// Thread contract: every method may be called from any thread. `RecursiveLock` may be locked again by
// the thread that holds it (the instance registry and an instance's main lock need that); `Lock` may not.
// Both satisfy BasicLockable, so std::lock_guard and std::unique_lock work with them.
#pragma once

#include <cstdint>

namespace kvo::platform {

// Re-entrant lock: a critical section on Windows, a recursive pthread mutex on POSIX.
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void lock();
  void unlock();

 private:
  // Opaque storage big enough for CRITICAL_SECTION (24 bytes on Win32) and, on POSIX, a pthread_mutex_t
  // (40 on x86-64) with its owner and depth.
  alignas(8) unsigned char storage_[64];
};

// Plain, non-re-entrant lock: locking it twice from one thread is a programming error.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock();
  void unlock();

 private:
  alignas(8) unsigned char storage_[48];
};

}  // namespace kvo::platform
