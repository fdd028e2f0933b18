#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "kvo-host/platform/input_file.h"

namespace kvo::host::sys {

namespace {

std::atomic<int> g_stop_signal{0};
// The handler writes a byte here, so a Read waiting in poll wakes even when the signal came just before.
int g_stop_pipe[2] = {-1, -1};

void OnStopSignal(int signal_number) {
  g_stop_signal.store(signal_number);
  if (g_stop_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_stop_pipe[1], &byte, 1);
  }
}

}  // namespace

void InputFile::WatchStopSignals() {
  if (g_stop_pipe[0] < 0 && ::pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_stop_pipe[0] = -1;
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int InputFile::StopSignal() {
  return g_stop_signal.load();
}

InputFile::InputFile(intptr_t handle, bool owned) : handle_(handle), owned_(owned) {
  struct stat info {};
  if (::fstat(static_cast<int>(handle), &info) == 0 && S_ISREG(info.st_mode)) {
    regular_ = true;
    size_ = static_cast<int64_t>(info.st_size);
  }
}

InputFile::~InputFile() {
  if (owned_) ::close(static_cast<int>(handle_));
}

std::unique_ptr<InputFile> InputFile::Open(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    if (error) *error = "is a directory";
    return nullptr;
  }
  return std::unique_ptr<InputFile>(new InputFile(fd, true));
}

std::unique_ptr<InputFile> InputFile::StandardInput() {
  return std::unique_ptr<InputFile>(new InputFile(STDIN_FILENO, false));
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size, std::string* error) {
  for (;;) {
    if (g_stop_signal.load() != 0) return kStopped;
    if (g_stop_pipe[0] >= 0 && !regular_) {
      pollfd wait[2] = {{static_cast<int>(handle_), POLLIN, 0}, {g_stop_pipe[0], POLLIN, 0}};
      if (::poll(wait, 2, -1) < 0 && errno != EINTR) {
        if (error) *error = std::strerror(errno);
        return -1;
      }
      if (g_stop_signal.load() != 0) return kStopped;
      if (wait[0].revents == 0) continue;
    }
    const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (error) *error = std::strerror(errno);
    return -1;
  }
}

}  // namespace kvo::host::sys
