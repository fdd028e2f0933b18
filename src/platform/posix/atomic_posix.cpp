// Atomic counters on POSIX: the compiler's sequentially consistent builtins, as Interlocked* are on Windows.
#include "platform/atomic.h"

namespace kvo::platform {

int32_t AtomicIncrement(int32_t* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t AtomicDecrement(int32_t* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

}  // namespace kvo::platform
