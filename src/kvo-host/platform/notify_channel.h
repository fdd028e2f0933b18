// Where the plug-in module posts its log notifications (KVO_MSG_LOG_CHANGED) to kvo-host: on POSIX one end of
// a socket pair, which receives a 12-byte record per notification; on Windows a message-only window of the
// calling thread.
//
// Thread contract: created, drained and destroyed by one thread (on Windows the thread that calls the
// module, since the window's messages queue there); the module may post from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace kvo::host::sys {

class NotifyChannel {
 public:
  NotifyChannel() = default;
  ~NotifyChannel();
  NotifyChannel(const NotifyChannel&) = delete;
  NotifyChannel& operator=(const NotifyChannel&) = delete;

  // Creates the channel; false with `error` set when the system refuses.
  bool Open(std::string* error);
  // The value to pass as "MessagesProcessorHandle"; 0 before Open.
  intptr_t Target() const { return target_; }
  // The number of `message` notifications that arrived since the last call; does not wait.
  int Drain(uint32_t message);

 private:
  intptr_t target_ = 0;
  intptr_t reader_ = -1;
};

}  // namespace kvo::host::sys
