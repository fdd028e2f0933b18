// Input for kvo-host: a file or standard input, read as the bytes arrive, so that rows behind a pipe are
// seen as soon as they are written.
//
// Ctrl-C and SIGTERM (on Windows Ctrl-C, Ctrl-Break and closing the console) are caught once
// WatchStopSignals ran: a Read that waits, or the next one, then returns kStopped, so the run can finish.
//
// Thread contract: an InputFile is used by one thread at a time; the stop flag is set from the signal
// handler (POSIX) or the console's handler thread (Windows) and read by any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kvo::host::sys {

class InputFile {
 public:
  // Opens `path` for reading; null with `error` set when it cannot be opened.
  static std::unique_ptr<InputFile> Open(const std::string& path, std::string* error);
  // Standard input (never closed by this object).
  static std::unique_ptr<InputFile> StandardInput();

  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  static constexpr std::ptrdiff_t kStopped = -2;
  // Catches the stop signals from now on.
  static void WatchStopSignals();
  // The signal that asked to stop (2 for Ctrl-C, 15 for a termination request), 0 when none came.
  static int StopSignal();

  // Waits until at least one byte is there, then reads what is there, up to `size` bytes. Returns the
  // count, 0 at the end of the input, kStopped after a stop signal, or -1 with `error` set.
  std::ptrdiff_t Read(char* buffer, std::size_t size, std::string* error);
  // True for a regular file, whose whole content is there already; false for pipes, terminals, devices.
  bool IsRegularFile() const { return regular_; }
  // The size in bytes of a regular file; -1 otherwise.
  int64_t Size() const { return size_; }

 private:
  InputFile(intptr_t handle, bool owned);
  intptr_t handle_;
  bool owned_;
  bool regular_ = false;
  int64_t size_ = -1;
};

}  // namespace kvo::host::sys
