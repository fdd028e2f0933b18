// Locks on POSIX: pthread mutexes built in the classes' opaque storage.
#include "platform/lock.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kvo::platform {
namespace {

template <typename Storage>
pthread_mutex_t* Mutex(Storage& storage) {
  static_assert(sizeof(pthread_mutex_t) <= sizeof(storage));
  static_assert(alignof(pthread_mutex_t) <= 8);
  return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}

void InitMutex(void* storage, int type) {
  pthread_mutexattr_t attr;
  auto* mutex = new (storage) pthread_mutex_t;
  // glibc cannot fail these; running on without a working lock would corrupt shared state silently.
  if (pthread_mutexattr_init(&attr) != 0) std::abort();
  if (pthread_mutexattr_settype(&attr, type) != 0 || pthread_mutex_init(mutex, &attr) != 0) std::abort();
  pthread_mutexattr_destroy(&attr);
}

// A plain mutex with its owner and depth: re-entry is decided without entering the mutex, whose fast
// path is much shorter than the recursive kind's. Every data call takes two of these.
struct Recursive {
  pthread_mutex_t mutex;
  std::atomic<uintptr_t> owner{0};  // the holding thread, 0 when free
  uint32_t depth = 0;               // written only by the holding thread
};
static_assert(sizeof(pthread_t) <= sizeof(uintptr_t));

uintptr_t Self() {
  return static_cast<uintptr_t>(pthread_self());
}

template <typename Storage>
Recursive& AsRecursive(Storage& storage) {
  static_assert(sizeof(Recursive) <= sizeof(storage) && alignof(Recursive) <= 8);
  return *std::launder(reinterpret_cast<Recursive*>(storage));
}

}  // namespace

RecursiveLock::RecursiveLock() {
  auto* lock = new (storage_) Recursive;
  InitMutex(&lock->mutex, PTHREAD_MUTEX_NORMAL);
}
RecursiveLock::~RecursiveLock() {
  Recursive& lock = AsRecursive(storage_);
  pthread_mutex_destroy(&lock.mutex);
  lock.~Recursive();
}
void RecursiveLock::lock() {
  Recursive& lock = AsRecursive(storage_);
  const uintptr_t self = Self();
  // Only this thread ever stores its own id, so a match cannot be stale.
  if (lock.owner.load(std::memory_order_relaxed) != self) {
    pthread_mutex_lock(&lock.mutex);
    lock.owner.store(self, std::memory_order_relaxed);
  }
  ++lock.depth;
}
void RecursiveLock::unlock() {
  Recursive& lock = AsRecursive(storage_);
  if (--lock.depth == 0) {
    lock.owner.store(0, std::memory_order_relaxed);
    pthread_mutex_unlock(&lock.mutex);
  }
}

Lock::Lock() {
  InitMutex(storage_, PTHREAD_MUTEX_NORMAL);
}
Lock::~Lock() {
  pthread_mutex_destroy(Mutex(storage_));
}
void Lock::lock() {
  pthread_mutex_lock(Mutex(storage_));
}
void Lock::unlock() {
  pthread_mutex_unlock(Mutex(storage_));
}

}  // namespace kvo::platform
