// Memory that one module may allocate and another free: parameter lists cross between the host and the
// plug-in module, each of which may carry its own C++ runtime. The process heap on Windows, the C heap
// on POSIX.
//
// Thread contract: [any-thread].
#pragma once

#include <cstddef>

namespace kvo::platform {

// Never returns null: throws std::bad_alloc when the memory cannot be had. Size 0 gives a valid block.
void* SharedAlloc(size_t size);
// Keeps the first min(old, size) bytes; throws std::bad_alloc and leaves `block` intact on failure.
void* SharedRealloc(void* block, size_t size);
// Null is ignored.
void SharedFree(void* block);

}  // namespace kvo::platform
