#include <unistd.h>

#include <climits>
#include <cstdio>

#include "kvo-host/platform/console.h"

namespace kvo::host::sys {

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

void PrepareStandardOutput() {}

std::string ExecutablePath() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

std::string CaptureStandardError(const std::function<void()>& run) {
  std::fflush(stderr);
  std::FILE* capture = std::tmpfile();
  const int saved = capture != nullptr ? ::dup(STDERR_FILENO) : -1;
  if (saved < 0 || ::dup2(::fileno(capture), STDERR_FILENO) < 0) {
    if (saved >= 0) ::close(saved);
    if (capture != nullptr) std::fclose(capture);
    run();
    return {};
  }
  run();
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::string text;
  std::rewind(capture);
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, capture)) > 0;)
    text.append(chunk, n);
  std::fclose(capture);
  std::fwrite(text.data(), 1, text.size(), stderr);
  return text;
}

}  // namespace kvo::host::sys
