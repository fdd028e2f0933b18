// Per-thread storage on POSIX: one pthread key per slot.
#include "platform/thread_slot.h"

#include <pthread.h>

#include <stdexcept>

namespace kvo::platform {

ThreadSlot::ThreadSlot() : key_(0) {
  pthread_key_t key;
  if (pthread_key_create(&key, nullptr) != 0) throw std::runtime_error("no thread-local storage slot left");
  key_ = key;
}

ThreadSlot::~ThreadSlot() {
  pthread_key_delete(static_cast<pthread_key_t>(key_));
}

void* ThreadSlot::Get() const {
  return pthread_getspecific(static_cast<pthread_key_t>(key_));
}

void ThreadSlot::Set(void* value) {
  pthread_setspecific(static_cast<pthread_key_t>(key_), value);
}

}  // namespace kvo::platform
