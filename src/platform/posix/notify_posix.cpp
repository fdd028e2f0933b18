// Notifications on POSIX: a 12-byte record written to a descriptor the host reads, never blocking.
#include "platform/notify.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kvo::platform {
namespace {

void PutLittleEndian(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<unsigned char>(value >> (8 * i));
  }
}

bool IsEventFd(int fd) {
  char link[32], target[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return false;
  target[length] = '\0';
  return std::strcmp(target, "anon_inode:[eventfd]") == 0;
}

// write() to a pipe whose reader is gone raises SIGPIPE, which would end the host. Blocking the signal
// on this thread turns it into a pending one, which is then taken back unless it was pending before.
ssize_t WriteWithoutSigpipe(int fd, const void* data, size_t size) {
  sigset_t pipe_only, old_mask, pending;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  sigemptyset(&pending);
  pthread_sigmask(SIG_BLOCK, &pipe_only, &old_mask);
  sigpending(&pending);
  const bool was_pending = sigismember(&pending, SIGPIPE) == 1;
  ssize_t written;
  do {
    written = write(fd, data, size);
  } while (written < 0 && errno == EINTR);
  if (written < 0 && errno == EPIPE && !was_pending) {
    const timespec no_wait{};
    while (sigtimedwait(&pipe_only, nullptr, &no_wait) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  return written;
}

}  // namespace

bool PostNotification(intptr_t target, uint32_t message, uint32_t wparam, int32_t lparam) {
  if (target < 0 || target > INT32_MAX) return false;
  const int fd = static_cast<int>(target);
  const int saved_errno = errno;  // callers must not see this layer's failed calls
  struct stat info {};
  bool posted = false;
  if (fstat(fd, &info) == 0) {
    unsigned char record[12];
    PutLittleEndian(record, message);
    PutLittleEndian(record + 4, wparam);
    PutLittleEndian(record + 8, static_cast<uint32_t>(lparam));
    if (S_ISSOCK(info.st_mode)) {
      ssize_t sent;
      do {
        sent = send(fd, record, sizeof record, MSG_DONTWAIT | MSG_NOSIGNAL);
      } while (sent < 0 && errno == EINTR);
      posted = sent == static_cast<ssize_t>(sizeof record);
    } else if (S_ISFIFO(info.st_mode) || ((info.st_mode & S_IFMT) == 0 && IsEventFd(fd))) {
      // The descriptor may be shared with the host, so O_NONBLOCK cannot be set on it; poll instead. A
      // record below PIPE_BUF is written whole or not at all.
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, 0) == 1 && (ready.revents & POLLOUT) != 0) {
        if (!S_ISFIFO(info.st_mode)) {
          // An eventfd takes 8-byte counts only: each notification counts one.
          const uint64_t one = 1;
          posted = WriteWithoutSigpipe(fd, &one, sizeof one) == static_cast<ssize_t>(sizeof one);
        } else {
          posted = WriteWithoutSigpipe(fd, record, sizeof record) == static_cast<ssize_t>(sizeof record);
        }
      }
    }
    // Anything else (a regular file, a directory, a terminal or another device) is a stale handle whose
    // number the host has reused: writing there would corrupt the host's own file.
  }
  errno = saved_errno;
  return posted;
}

}  // namespace kvo::platform
