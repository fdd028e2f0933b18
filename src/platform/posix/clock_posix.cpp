// Time on POSIX: a coarse monotonic clock in milliseconds (as cheap as GetTickCount) and nanosleep.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace kvo::platform {

uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  // Unsigned arithmetic wraps at 2^32 as GetTickCount does.
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void SleepMs(uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal handler cuts nanosleep short; it reports what is left, so sleep that.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace kvo::platform
