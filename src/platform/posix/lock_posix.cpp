// Locks on POSIX: pthread mutexes built in the classes' opaque storage.
#include "platform/lock.h"

#include <pthread.h>

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

}  // namespace

RecursiveLock::RecursiveLock() {
  InitMutex(storage_, PTHREAD_MUTEX_RECURSIVE);
}
RecursiveLock::~RecursiveLock() {
  pthread_mutex_destroy(Mutex(storage_));
}
void RecursiveLock::lock() {
  pthread_mutex_lock(Mutex(storage_));
}
void RecursiveLock::unlock() {
  pthread_mutex_unlock(Mutex(storage_));
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
