// Per-thread storage: one pointer-sized value per thread (TlsAlloc on Windows, pthread keys on POSIX).
//
// Thread contract: Get/Set [any-thread], each thread sees only its own value, which starts as null.
// Construction and destruction must not race with Get/Set.
#pragma once

#include <cstdint>

namespace kvo::platform {

class ThreadSlot {
 public:
  ThreadSlot();  // throws std::runtime_error when the system has no slot left
  ~ThreadSlot();
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  void* Get() const;
  void Set(void* value);

 private:
  uintptr_t key_;
};

}  // namespace kvo::platform
