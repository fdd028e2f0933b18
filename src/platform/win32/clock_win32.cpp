// Time on Windows: the system tick counter and Sleep.
#include "platform/clock.h"

#include <windows.h>

namespace kvo::platform {

uint32_t TickCount() {
  return GetTickCount();
}

void SleepMs(uint32_t milliseconds) {
  Sleep(milliseconds);
}

}  // namespace kvo::platform
