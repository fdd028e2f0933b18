// Waiting while a set of flags is all set, as the data exports do while an instance is busy and
// unloaded at once.
//
// Thread contract: [any-thread]; the flags are atomics that other threads may change while it waits.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace kvo {

// Polls the flags every 50 ms (letting the calling thread's pending user-interface events run between
// polls) until one of them is clear, `timeout_ms` has passed (0: no limit) or the application shuts down.
// When the time ran out it shows a message box "Timeout: <timeout_ms>!". Returns true exactly when the
// last check found a flag clear; a null flag pointer ends the wait with false.
bool WaitWhileFlags(uint32_t timeout_ms, std::initializer_list<const std::atomic<bool>*> flags);

}  // namespace kvo
