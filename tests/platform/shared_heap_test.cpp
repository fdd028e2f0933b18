// Tests of the shared heap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/shared_heap.h"

// Impossible sizes must come back as failures for the bad_alloc tests, not end the program.
#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
#elif defined(__SANITIZE_THREAD__)
extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace kvo::platform {
namespace {

TEST(SharedHeap, ZeroSizeGivesDistinctValidBlocks) {
  void* a = SharedAlloc(0);
  void* b = SharedAlloc(0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  void* c = SharedRealloc(a, 0);
  EXPECT_NE(c, nullptr);
  SharedFree(c);
  SharedFree(b);
}

TEST(SharedHeap, ReallocKeepsLeadingBytes) {
  auto* block = static_cast<unsigned char*>(SharedRealloc(nullptr, 16));
  for (int i = 0; i < 16; ++i) {
    block[i] = static_cast<unsigned char>(i + 1);
  }
  block = static_cast<unsigned char*>(SharedRealloc(block, 100000));
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(block[i], i + 1) << i;
  }
  block = static_cast<unsigned char*>(SharedRealloc(block, 4));
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(block[i], i + 1) << i;
  }
  SharedFree(block);
}

TEST(SharedHeap, ImpossibleSizeThrowsAndKeepsBlock) {
  EXPECT_THROW(SharedAlloc(SIZE_MAX - 64), std::bad_alloc);
  auto* block = static_cast<char*>(SharedAlloc(8));
  std::memcpy(block, "1234567", 8);
  EXPECT_THROW(SharedRealloc(block, SIZE_MAX - 64), std::bad_alloc);
  EXPECT_STREQ(block, "1234567");
  SharedFree(block);
  SharedFree(nullptr);  // ignored
}

}  // namespace
}  // namespace kvo::platform
