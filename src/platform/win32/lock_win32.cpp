// Locks on Windows: a critical section for the re-entrant lock, a slim reader/writer lock for the plain one.
#include "platform/lock.h"

#include <windows.h>

#include <new>

namespace kvo::platform {
namespace {

template <typename Native, typename Storage>
Native* As(Storage& storage) {
  static_assert(sizeof(Native) <= sizeof(storage));
  static_assert(alignof(Native) <= 8);
  return std::launder(reinterpret_cast<Native*>(storage));
}

}  // namespace

RecursiveLock::RecursiveLock() {
  InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}
RecursiveLock::~RecursiveLock() {
  DeleteCriticalSection(As<CRITICAL_SECTION>(storage_));
}
void RecursiveLock::lock() {
  EnterCriticalSection(As<CRITICAL_SECTION>(storage_));
}
void RecursiveLock::unlock() {
  LeaveCriticalSection(As<CRITICAL_SECTION>(storage_));
}

Lock::Lock() {
  InitializeSRWLock(new (storage_) SRWLOCK);
}
Lock::~Lock() {}  // a slim lock owns nothing
void Lock::lock() {
  AcquireSRWLockExclusive(As<SRWLOCK>(storage_));
}
void Lock::unlock() {
  ReleaseSRWLockExclusive(As<SRWLOCK>(storage_));
}

}  // namespace kvo::platform
