// GUIDs on POSIX: 16 random bytes from the kernel, marked as version 4.
#include "platform/guid.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace kvo::platform {
namespace {

bool ReadAll(int fd, unsigned char* out, size_t size) {
  while (size > 0) {
    const ssize_t n = read(fd, out, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool KernelRandom(unsigned char* out, size_t size) {
  while (size > 0) {
    const ssize_t n = getrandom(out, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out += n;
    size -= static_cast<size_t>(n);
  }
  if (size == 0) return true;
  // Kernels before 3.17 or seccomp filters refuse getrandom.
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ReadAll(fd, out, size);
  close(fd);
  return ok;
}

// Last resort without any random source: distinct within the process at least.
void FallbackBytes(unsigned char* out, size_t size) {
  static uint64_t counter = 0;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t state = static_cast<uint64_t>(now.tv_sec) * 1000000007u + static_cast<uint64_t>(now.tv_nsec) +
                   __atomic_add_fetch(&counter, 0x9E3779B97F4A7C15u, __ATOMIC_RELAXED) +
                   static_cast<uint64_t>(getpid());
  for (size_t i = 0; i < size; ++i) {
    state += 0x9E3779B97F4A7C15u;  // splitmix64
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    out[i] = static_cast<unsigned char>(z ^ (z >> 31));
  }
}

}  // namespace

std::string NewGuidText() {
  unsigned char bytes[16];
  if (!KernelRandom(bytes, sizeof bytes)) FallbackBytes(bytes, sizeof bytes);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(38);
  text += '{';
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  text += '}';
  return text;
}

}  // namespace kvo::platform
