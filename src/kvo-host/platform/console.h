// The process's own standard streams and executable, as far as kvo-host needs them.
//
// Thread contract: [any-thread]; PrepareStandardOutput once at start-up, before any output.
#pragma once

#include <functional>
#include <string>

namespace kvo::host::sys {

// True when standard error is a terminal (so a progress line may be drawn there).
bool StandardErrorIsTerminal();
// Makes standard output carry bytes unchanged (no line-end translation).
void PrepareStandardOutput();
// Full path of the running program's file; empty when the system cannot tell.
std::string ExecutablePath();
// Runs `run` and hands back what it wrote to standard error, which is passed on as well (POSIX; on
// Windows the text goes straight through and the result is empty). Kept in a temporary file, not a pipe,
// so a talkative `run` cannot block on it.
std::string CaptureStandardError(const std::function<void()>& run);

}  // namespace kvo::host::sys
