// Replacement allocation functions that count, for the benchmarks' zero-allocation figures.
#include "alloc_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<uint64_t> g_allocations{0};
inline void CountAllocation() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KVO_BENCH_COUNTS_MALLOC 1
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

__attribute__((visibility("default"))) void* malloc(size_t size) noexcept {
  CountAllocation();
  return __libc_malloc(size);
}
__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) noexcept {
  CountAllocation();
  return __libc_calloc(count, size);
}
__attribute__((visibility("default"))) void* realloc(void* block, size_t size) noexcept {
  CountAllocation();
  return __libc_realloc(block, size);
}
__attribute__((visibility("default"))) void free(void* block) noexcept {
  __libc_free(block);
}
}  // extern "C"
#else
#define KVO_BENCH_COUNTS_MALLOC 0
#endif

// Out of line, so that the compiler does not pair malloc() with operator delete and warn.
[[gnu::noinline]] void* operator new(size_t size) {
#if !KVO_BENCH_COUNTS_MALLOC
  CountAllocation();  // otherwise counted once, by malloc
#endif
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* block) noexcept {
  std::free(block);
}
[[gnu::noinline]] void operator delete(void* block, size_t) noexcept {
  std::free(block);
}

namespace kvo::bench {

void SetAllocationCounting(bool on) {
  g_counting.store(on);
}
uint64_t AllocationCount() {
  return g_allocations.load();
}
bool CountsMalloc() {
  return KVO_BENCH_COUNTS_MALLOC != 0;
}

}  // namespace kvo::bench
