#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "kvo-host/platform/console.h"

namespace kvo::host::sys {

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void PrepareStandardOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
}

std::string ExecutablePath() {
  char path[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::string(path, n);
}

std::string CaptureStandardError(const std::function<void()>& run) {
  run();
  return {};
}

}  // namespace kvo::host::sys
