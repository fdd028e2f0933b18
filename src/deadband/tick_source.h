// Where the deadband filter reads the millisecond tick counter from, so that tests can drive time by hand.
//
// Thread contract: Now() may be called from any thread; the filter calls it only while it holds its item
// lock, so a source shared by several filters must be safe for concurrent calls itself.
#pragma once

#include <cstdint>

namespace kvo {

class TickSource {
 public:
  virtual ~TickSource();
  // Milliseconds since an arbitrary start; wraps around at 2^32.
  virtual uint32_t Now() = 0;
};

// The platform's tick counter (GetTickCount on Windows).
class SystemTickSource final : public TickSource {
 public:
  uint32_t Now() override;
  // One process-wide instance; it has no state.
  static SystemTickSource& Instance();
};

}  // namespace kvo
