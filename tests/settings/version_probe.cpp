// A loadable module for the version tests: it reports what the version code finds when it runs inside a
// library. Built with and without an embedded version.
#include <cstring>
#include <string>

#include "settings/version_info.h"

#if defined(_WIN32)
#define KVO_PROBE_EXPORT __declspec(dllexport)
#else
#define KVO_PROBE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// A C interface (the test program has its own C++ runtime on Windows): copies `text` into `buffer` and
// returns its full length, or 0 when it could not be made.
size_t CopyOut(const std::string& text, char* buffer, size_t size) {
  if (size > 0) {
    const size_t copied = text.size() < size ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  return text.size();
}

}  // namespace

extern "C" KVO_PROBE_EXPORT size_t KvoProbeVersionText(char* buffer, size_t size) {
  try {
    return CopyOut(kvo::ModuleVersionText(), buffer, size);
  } catch (...) {
    return 0;
  }
}

extern "C" KVO_PROBE_EXPORT size_t KvoProbeModuleFileName(char* buffer, size_t size) {
  try {
    return CopyOut(kvo::TVersionInfo::ModuleFileName(), buffer, size);
  } catch (...) {
    return 0;
  }
}
