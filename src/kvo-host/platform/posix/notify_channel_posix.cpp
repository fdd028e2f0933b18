#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvo-host/platform/notify_channel.h"

namespace kvo::host::sys {

namespace {
constexpr int kRecordSize = 12;
}

NotifyChannel::~NotifyChannel() {
  if (reader_ >= 0) ::close(static_cast<int>(reader_));
  if (target_ > 0) ::close(static_cast<int>(target_));
}

bool NotifyChannel::Open(std::string* error) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  reader_ = fds[0];
  target_ = fds[1];
  return true;
}

int NotifyChannel::Drain(uint32_t message) {
  if (reader_ < 0) return 0;
  int count = 0;
  unsigned char chunk[kRecordSize * 64];
  static_assert(sizeof chunk % kRecordSize == 0);
  for (;;) {
    const ssize_t n = ::recv(static_cast<int>(reader_), chunk, sizeof chunk, MSG_DONTWAIT);
    if (n <= 0) break;
    // The module writes whole records; a partial one cannot occur on a stream socket of this size.
    for (ssize_t at = 0; at + kRecordSize <= n; at += kRecordSize) {
      const uint32_t got = uint32_t{chunk[at]} | uint32_t{chunk[at + 1]} << 8 |
                           uint32_t{chunk[at + 2]} << 16 | uint32_t{chunk[at + 3]} << 24;
      if (got == message) ++count;
    }
  }
  return count;
}

}  // namespace kvo::host::sys
