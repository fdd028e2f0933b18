// The status log of one plug-in instance: entries the host fetches with GetLogEx.
//
// Each entry is one line: "<title>. <message>||<code>" (no title: "<message>||<code>"); a consecutive
// repeat folds into the last line as "<text> {<n> time(s)}||<code>". Lines are separated by CR LF.
//
// Thread contract: [any-thread]. The three log fields are guarded by `lock_`, which is never held while
// any other lock is taken; Add, Clear and Fetch each run under it in one step, so no entry is lost
// between a fetch's copy and its clear.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/lock.h"

namespace kvo {

class PluginLog {
 public:
  // Appends one entry with code `kind` (+128 when `flag`). Never fails outwards.
  void Add(std::string_view title, uint8_t kind, std::string_view message, bool flag) noexcept;
  // Discards the pending text (the repeat counter stays; the next new entry resets it).
  void Clear() noexcept {
    if (pending_.load(std::memory_order_acquire)) ClearPending();
  }
  // The GetLogEx protocol: *needed receives the pending length; when it is not 0 and fits in
  // `buffer_size`, the bytes are copied (no terminating zero), the log is emptied and the length returned;
  // otherwise 0 and nothing changes. REQUIRES: buffer holds buffer_size bytes when the text fits.
  int32_t Fetch(char* buffer, int32_t buffer_size, int32_t* needed) noexcept;
  // A copy of the pending text.
  std::string Text() const;

 private:
  void Fold();  // REQUIRES: lock_ held
  void ClearPending() noexcept;

  mutable platform::Lock lock_;
  std::string log_;           // guarded by lock_
  std::string last_entry_;    // guarded by lock_; empty whenever log_ is
  int32_t repeat_count_ = 0;  // guarded by lock_
  // Mirrors !log_.empty() so that clearing an empty log (every data call does) takes no lock.
  std::atomic<bool> pending_{false};
};

}  // namespace kvo
