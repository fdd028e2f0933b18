// Per-thread storage on Windows: one TLS index per slot.
#include "platform/thread_slot.h"

#include <windows.h>

#include <stdexcept>

namespace kvo::platform {

ThreadSlot::ThreadSlot() : key_(TlsAlloc()) {
  if (key_ == TLS_OUT_OF_INDEXES) throw std::runtime_error("no thread-local storage slot left");
}

ThreadSlot::~ThreadSlot() {
  TlsFree(static_cast<DWORD>(key_));
}

void* ThreadSlot::Get() const {
  // TlsGetValue resets the thread's last error, which a caller may be about to read.
  const DWORD last_error = GetLastError();
  void* value = TlsGetValue(static_cast<DWORD>(key_));
  SetLastError(last_error);
  return value;
}

void ThreadSlot::Set(void* value) {
  TlsSetValue(static_cast<DWORD>(key_), value);
}

}  // namespace kvo::platform
