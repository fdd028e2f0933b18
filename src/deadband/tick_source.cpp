// The tick counter seam of the deadband filter.
#include "deadband/tick_source.h"

#include "platform/clock.h"

namespace kvo {

TickSource::~TickSource() = default;

uint32_t SystemTickSource::Now() {
  return platform::TickCount();
}

SystemTickSource& SystemTickSource::Instance() {
  static SystemTickSource instance;
  return instance;
}

}  // namespace kvo
