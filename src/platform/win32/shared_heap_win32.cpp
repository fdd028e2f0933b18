// Shared heap on Windows: the process heap, which every module's runtime can reach.
#include "platform/shared_heap.h"

#include <windows.h>

#include <new>

namespace kvo::platform {

void* SharedAlloc(size_t size) {
  void* block = HeapAlloc(GetProcessHeap(), 0, size);  // a zero-size block is a valid block here
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* SharedRealloc(void* block, size_t size) {
  if (block == nullptr) return SharedAlloc(size);  // HeapReAlloc takes no null block
  void* grown = HeapReAlloc(GetProcessHeap(), 0, block, size);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

void SharedFree(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace kvo::platform
