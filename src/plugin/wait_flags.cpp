// The polling wait of the data guard.
#include "plugin/wait_flags.h"

#include <string>

#include "platform/clock.h"
#include "platform/ui.h"
#include "runtime/application.h"

namespace kvo {
namespace {

enum class Check { kAllSet, kClear, kMissing };

Check CheckFlags(std::initializer_list<const std::atomic<bool>*> flags) {
  for (const std::atomic<bool>* flag : flags) {
    if (!flag) return Check::kMissing;
    if (!flag->load(std::memory_order_relaxed)) return Check::kClear;
  }
  return Check::kAllSet;
}

}  // namespace

bool WaitWhileFlags(uint32_t timeout_ms, std::initializer_list<const std::atomic<bool>*> flags) {
  // The usual case ends at the first check, before any time could have passed: spare the clock.
  if (Check first = CheckFlags(flags); first != Check::kAllSet) return first == Check::kClear;
  const uint32_t start = platform::TickCount();
  uint32_t elapsed = 0;
  Check check;
  for (bool first = true;; first = false) {
    check = CheckFlags(flags);
    elapsed = platform::TickCount() - start;
    if (!first) {
      try {
        platform::ProcessPendingEvents();
      } catch (...) {
      }
      platform::SleepMs(50);
    }
    if (check != Check::kAllSet || (timeout_ms != 0 && elapsed >= timeout_ms) || Application().Terminated()) {
      break;
    }
  }
  // Without a limit there is nothing to report.
  if (timeout_ms != 0 && elapsed >= timeout_ms) {
    const std::string text = "Timeout: " + std::to_string(timeout_ms) + "!";
    platform::ShowMessageBox(text.c_str(), nullptr);
  }
  return check == Check::kClear;
}

}  // namespace kvo
