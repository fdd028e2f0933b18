// Shared heap on POSIX: the C heap, which every module in the process shares.
#include "platform/shared_heap.h"

#include <cstdlib>
#include <new>

namespace kvo::platform {

// malloc(0) and realloc(p, 0) may return null or free the block; one byte keeps "size 0 is a valid block".
void* SharedAlloc(size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* SharedRealloc(void* block, size_t size) {
  void* grown = std::realloc(block, size != 0 ? size : 1);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

void SharedFree(void* block) {
  std::free(block);
}

}  // namespace kvo::platform
