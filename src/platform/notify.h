// Notifying the host that something happened (new log text), without waiting for it.
//
// Windows: `target` is a window handle and the notification is PostMessageA(target, message, wparam,
// lparam). POSIX: `target` is a file descriptor the host reads (socket, pipe or eventfd); one notification
// is one 12-byte record of three little-endian 32-bit values: message, wparam, lparam. An eventfd takes
// only 8-byte counts, so there each notification adds one to the count. Any other kind of descriptor
// (regular file, directory, terminal, other device) is written nothing: hosts reuse descriptor numbers,
// so such a handle is a stale one.
//
// Thread contract: [any-thread]. Never blocks and never raises SIGPIPE; a stale or invalid target is
// ignored, as a stale window handle is.
#pragma once

#include <cstdint>

namespace kvo::platform {

// Returns true when the notification was handed to the system.
bool PostNotification(intptr_t target, uint32_t message, uint32_t wparam, int32_t lparam);

}  // namespace kvo::platform
