// The process's own standard streams and executable, as far as kvo-host needs them.
//
// Thread contract: [any-thread]; PrepareStandardOutput once at start-up, before any output.
#pragma once

#include <string>

namespace kvo::host::sys {

// True when standard error is a terminal (so a progress line may be drawn there).
bool StandardErrorIsTerminal();
// Makes standard output carry bytes unchanged (no line-end translation).
void PrepareStandardOutput();
// Full path of the running program's file; empty when the system cannot tell.
std::string ExecutablePath();

}  // namespace kvo::host::sys
