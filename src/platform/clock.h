// Time: the millisecond tick counter and sleeping.
//
// Thread contract: [any-thread].
#pragma once

#include <cstdint>

namespace kvo::platform {

// Milliseconds since an unspecified start, from a monotonic clock; wraps around at 2^32 (about 49.7
// days), so callers subtract two readings in unsigned 32-bit arithmetic. GetTickCount on Windows.
uint32_t TickCount();

// Suspends the calling thread for at least `milliseconds`.
void SleepMs(uint32_t milliseconds);

}  // namespace kvo::platform
