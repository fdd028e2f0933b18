// The guard state of one plug-in instance's data path: whether a data call is running (busy), whether the
// last "UNLOAD" has closed the instance for good (unloaded), and how many data calls are between the
// guard and their return (in flight), so that the last "UNLOAD" frees the row lists only after they left.
//
// Thread contract: every method may be called from any thread. The three values are atomics; the closing
// side waits on `idle_` under `idle_lock_`, which a leaving call takes only when it is the last one out of
// a closed gate. A data call holds a Pass for as long as it uses the instance's lists.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kvo {

class InstanceGate {
 public:
  InstanceGate() = default;
  InstanceGate(const InstanceGate&) = delete;
  InstanceGate& operator=(const InstanceGate&) = delete;

  // One data call's passage through the gate: `entered()` tells whether the call may go on; the call is
  // counted out when the pass goes.
  class Pass {
   public:
    explicit Pass(InstanceGate& gate) noexcept : gate_(gate), entered_(gate.Enter()) {}
    ~Pass() {
      if (entered_) gate_.Leave();
    }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    bool entered() const noexcept { return entered_; }

   private:
    InstanceGate& gate_;
    bool entered_;
  };

  bool Busy() const noexcept { return busy_.load(std::memory_order_relaxed); }
  bool Unloaded() const noexcept { return unloaded_.load(std::memory_order_relaxed); }
  int32_t CallsInFlight() const noexcept { return in_flight_.load(std::memory_order_relaxed); }

  // The last "UNLOAD": from now on every data call is refused (after waiting, at most 30000 ms, while a
  // call is still busy). Calls that entered before go on.
  void Close() noexcept;
  // Blocks until every call that entered has left. REQUIRES: Close() was called, and the calling thread
  // is not inside a data call on this instance itself.
  void WaitUntilIdle();

 private:
  // The guard's wait, counting and check; false when the call is refused.
  bool Enter() noexcept {
    // An open gate is the usual case: the wait below holds calls back only once the gate is closed.
    if (unloaded_.load(std::memory_order_relaxed)) return RefuseClosed();
    // Counted before the unloaded flag is looked at again, so that a closing "UNLOAD" either sees this call
    // in flight or this call sees the gate closed (both sides use sequentially consistent operations).
    in_flight_.fetch_add(1, std::memory_order_seq_cst);
    if (unloaded_.load(std::memory_order_seq_cst)) {
      Leave();
      return false;
    }
    busy_.store(true, std::memory_order_relaxed);
    return true;
  }
  void Leave() noexcept {
    busy_.store(false, std::memory_order_relaxed);
    if (in_flight_.fetch_sub(1, std::memory_order_seq_cst) == 1 &&
        unloaded_.load(std::memory_order_seq_cst)) {
      WakeCloser();
    }
  }
  bool RefuseClosed() noexcept;
  void WakeCloser() noexcept;

  std::atomic<bool> busy_{
      false};  // set while a data call runs; the first of overlapping calls to end clears it
  std::atomic<bool> unloaded_{false};  // set for good by the last "UNLOAD"
  std::atomic<int32_t> in_flight_{0};  // data calls between the guard and their return
  std::mutex idle_lock_;               // with idle_: the closing side's wait for in_flight_ to reach 0
  std::condition_variable idle_;
};

}  // namespace kvo
