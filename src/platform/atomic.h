// Atomic counters shared between threads (InterlockedIncrement/Decrement on Windows).
//
// Thread contract: [any-thread]; the counter must be 4-byte aligned.
#pragma once

#include <cstdint>

namespace kvo::platform {

// Adds one to *value and returns the new value, as one atomic step.
int32_t AtomicIncrement(int32_t* value);
// Subtracts one from *value and returns the new value, as one atomic step.
int32_t AtomicDecrement(int32_t* value);

}  // namespace kvo::platform
