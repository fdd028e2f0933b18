#include <windows.h>

#include <atomic>

#include "kvo-host/platform/input_file.h"

namespace kvo::host::sys {

namespace {

std::string LastErrorText() {
  char text[256] = {0};
  const DWORD code = GetLastError();
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                     sizeof text, nullptr) == 0) {
    return "error " + std::to_string(code);
  }
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message;
}

HANDLE Native(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::atomic<int> g_stop_signal{0};

// Runs on a thread of its own; TRUE keeps the process alive so that the run can finish.
BOOL WINAPI OnConsoleControl(DWORD event) {
  g_stop_signal.store(event == CTRL_C_EVENT ? 2 : 15);
  return TRUE;
}

}  // namespace

void InputFile::WatchStopSignals() {
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

int InputFile::StopSignal() {
  return g_stop_signal.load();
}

InputFile::InputFile(intptr_t handle, bool owned) : handle_(handle), owned_(owned) {
  if (GetFileType(Native(handle)) == FILE_TYPE_DISK) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(Native(handle), &size)) {
      regular_ = true;
      size_ = static_cast<int64_t>(size.QuadPart);
    }
  }
}

InputFile::~InputFile() {
  if (owned_) CloseHandle(Native(handle_));
}

std::unique_ptr<InputFile> InputFile::Open(const std::string& path, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText();
    return nullptr;
  }
  return std::unique_ptr<InputFile>(new InputFile(reinterpret_cast<intptr_t>(file), true));
}

std::unique_ptr<InputFile> InputFile::StandardInput() {
  return std::unique_ptr<InputFile>(
      new InputFile(reinterpret_cast<intptr_t>(GetStdHandle(STD_INPUT_HANDLE)), false));
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size, std::string* error) {
  if (g_stop_signal.load() != 0) return kStopped;
  DWORD got = 0;
  const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(Native(handle_), buffer, want, &got, nullptr)) {
    // The writer of a pipe closed it: that is the end of the input.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    if (g_stop_signal.load() != 0) return kStopped;
    if (error) *error = LastErrorText();
    return -1;
  }
  return static_cast<std::ptrdiff_t>(got);
}

}  // namespace kvo::host::sys
