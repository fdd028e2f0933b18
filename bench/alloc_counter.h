// Counting heap allocations in a benchmark program, to show that a path makes none. Link
// alloc_counter.cpp into the program: it replaces operator new and, on glibc without a sanitizer, malloc,
// calloc and realloc (parameter-list blocks come from the C heap).
#pragma once

#include <cstdint>

namespace kvo::bench {

// Counting is off until turned on, so threaded figures are not disturbed by a shared counter.
void SetAllocationCounting(bool on);
uint64_t AllocationCount();
// True when malloc and friends are counted as well as operator new.
bool CountsMalloc();

}  // namespace kvo::bench
