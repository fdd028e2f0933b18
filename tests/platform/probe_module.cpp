// A loadable module for the module tests: it reports the path the platform layer finds for it, and
// shows help from inside a library.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/help.h"
#include "platform/module.h"

#if defined(_WIN32)
#define KVO_PROBE_EXPORT __declspec(dllexport)
#else
#define KVO_PROBE_EXPORT __attribute__((visibility("default")))
#endif

// Copies the path into `buffer` (a C interface: the test program has its own C++ runtime on Windows) and
// returns its full length.
extern "C" KVO_PROBE_EXPORT size_t KvoProbeModulePath(char* buffer, size_t size) {
  const std::string path = kvo::platform::OwnModulePath();
  if (size > 0) {
    const size_t copied = path.size() < size ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
  }
  return path.size();
}

// Shows a help topic through this module's own viewer, so a test can unload the module with a help
// window open; returns the viewer's window (0 on failure).
extern "C" KVO_PROBE_EXPORT uintptr_t KvoProbeShowHelp(const char* file, uint32_t context) {
  return kvo::platform::SystemHelpViewer().ShowContext(0, {file, "", ""}, context);
}

// What the module does when its last instance unloads: closes the viewer's windows and releases it.
extern "C" KVO_PROBE_EXPORT void KvoProbeReleaseHelp() {
  kvo::platform::SystemHelpViewer().Release();
}
