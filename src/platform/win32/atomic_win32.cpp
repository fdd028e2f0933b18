// Atomic counters on Windows: the Interlocked functions.
#include "platform/atomic.h"

#include <windows.h>

namespace kvo::platform {

static_assert(sizeof(LONG) == sizeof(int32_t));

int32_t AtomicIncrement(int32_t* value) {
  return InterlockedIncrement(reinterpret_cast<volatile LONG*>(value));
}

int32_t AtomicDecrement(int32_t* value) {
  return InterlockedDecrement(reinterpret_cast<volatile LONG*>(value));
}

}  // namespace kvo::platform
