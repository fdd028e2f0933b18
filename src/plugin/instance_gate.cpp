// The data path's gate: the slow paths of a closed instance.
#include "plugin/instance_gate.h"

#include "plugin/wait_flags.h"

namespace kvo {

bool InstanceGate::RefuseClosed() noexcept {
  // Held back while a call that entered before the close is still busy, at most 30000 ms; refused then.
  try {
    WaitWhileFlags(30000, {&busy_, &unloaded_});
  } catch (...) {
  }
  return false;
}

void InstanceGate::WakeCloser() noexcept {
  // Taken so that the closing side cannot miss the wake-up between its check and its wait.
  std::lock_guard guard(idle_lock_);
  idle_.notify_all();
}

void InstanceGate::Close() noexcept {
  unloaded_.store(true, std::memory_order_seq_cst);
}

void InstanceGate::WaitUntilIdle() {
  std::unique_lock guard(idle_lock_);
  idle_.wait(guard, [this] { return in_flight_.load(std::memory_order_seq_cst) == 0; });
}

}  // namespace kvo
