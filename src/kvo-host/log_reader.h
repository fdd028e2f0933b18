// The module's log as kvo-host shows it: the module posts a notification (KVO_MSG_LOG_CHANGED) on the channel
// given as "MessagesProcessorHandle" for each new entry. After each call the host asks GetLogEx for the
// pending text (a call into the module, no system call, so a module that logs nothing costs nearly
// nothing) and prints each line; the channel is drained when there was text, and now and then besides, so
// that its buffer never fills.
//
// Thread contract: used by the thread that calls the module.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "kvo-host/module_driver.h"
#include "kvo-host/platform/notify_channel.h"

namespace kvo::host {

class LogReader {
 public:
  // `print` receives each log line, without its line end.
  explicit LogReader(std::function<void(std::string_view)> print) : print_(std::move(print)) {}

  // Opens the channel; false with `error` set when it cannot be made.
  bool Open(std::string* error) { return channel_.Open(error); }
  intptr_t Target() const { return channel_.Target(); }
  // Prints the lines of the pending log; returns the number of lines printed.
  int Poll(FilterSession& session);

  // The lines of a log text: split at CR LF (or a lone LF or CR), empty lines left out.
  static void ForEachLine(std::string_view text, const std::function<void(std::string_view)>& line);

 private:
  static constexpr int kDrainEvery = 4096;

  sys::NotifyChannel channel_;
  std::function<void(std::string_view)> print_;
  int quiet_polls_ = 0;
};

}  // namespace kvo::host
