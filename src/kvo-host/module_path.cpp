// Where kvo-host finds its module when none is named: beside the program, as installed (bin/kvo-host and
// lib/kvo/deadband.so) and as built (the build tree mirrors that layout).
#include <filesystem>

#include "kvo-host/commands.h"
#include "kvo-host/platform/console.h"

namespace kvo::host {

std::string DefaultModulePath() {
#if defined(_WIN32)
  const char* const file = "deadband.dll";
#else
  const char* const file = "deadband.so";
#endif
  const std::string program = sys::ExecutablePath();
  const std::filesystem::path folder =
      program.empty() ? std::filesystem::path(".") : std::filesystem::path(program).parent_path();
  return (folder / ".." / "lib" / "kvo" / file).lexically_normal().string();
}

}  // namespace kvo::host
