// Tests of host notifications: descriptors on POSIX, window messages on Windows.
#include <gtest/gtest.h>

#include "platform/notify.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#endif

namespace kvo::platform {
namespace {

#if defined(_WIN32)

TEST(Notify, MessageOnlyWindowReceivesMessage) {
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(PostNotification(reinterpret_cast<intptr_t>(window), WM_APP + 7, 0xA1B2C3D4u, -2));
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, window, WM_APP + 7, WM_APP + 7, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0xA1B2C3D4u);
  EXPECT_EQ(message.lParam, -2);
  DestroyWindow(window);
  EXPECT_FALSE(PostNotification(reinterpret_cast<intptr_t>(window), WM_APP + 7, 0, 0)) << "stale window";
}

#else

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0); }
  ~Pipe() {
    for (int fd : fds) {
      if (fd >= 0) close(fd);
    }
  }
  void Close(int end) {
    close(fds[end]);
    fds[end] = -1;
  }
};

std::string ReadRecord(int fd) {
  unsigned char record[12];
  EXPECT_EQ(read(fd, record, sizeof record), 12);
  return std::string(reinterpret_cast<char*>(record), sizeof record);
}

constexpr char kRecord[] = "\x01\x80\x00\x00\xD4\xC3\xB2\xA1\xFE\xFF\xFF\xFF";
const std::string kExpectedRecord(kRecord, 12);

TEST(Notify, SocketReceivesLittleEndianRecord) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  EXPECT_TRUE(PostNotification(fds[0], 0x8001, 0xA1B2C3D4u, -2));
  EXPECT_EQ(ReadRecord(fds[1]), kExpectedRecord);
  close(fds[1]);
  EXPECT_FALSE(PostNotification(fds[0], 1, 2, 3)) << "peer closed";
  close(fds[0]);
}

TEST(Notify, PipeReceivesRecord) {
  Pipe p;
  EXPECT_TRUE(PostNotification(p.fds[1], 0x8001, 0xA1B2C3D4u, -2));
  EXPECT_TRUE(PostNotification(p.fds[1], 2, 3, 4));
  EXPECT_EQ(ReadRecord(p.fds[0]), kExpectedRecord);
  EXPECT_EQ(ReadRecord(p.fds[0]), std::string("\2\0\0\0\3\0\0\0\4\0\0\0", 12));
}

TEST(Notify, FullPipeIsRefusedWithoutBlocking) {
  Pipe p;
  const int flags = fcntl(p.fds[1], F_GETFL);
  ASSERT_EQ(fcntl(p.fds[1], F_SETFL, flags | O_NONBLOCK), 0);
  char chunk[4096] = {};
  while (write(p.fds[1], chunk, sizeof chunk) > 0) {
  }
  while (write(p.fds[1], chunk, 1) > 0) {
  }
  ASSERT_EQ(errno, EAGAIN);
  ASSERT_EQ(fcntl(p.fds[1], F_SETFL, flags), 0);  // a blocking write would now hang
  auto posted = std::async(std::launch::async, [&] { return PostNotification(p.fds[1], 1, 2, 3); });
  if (posted.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "PostNotification blocked on a full pipe";
    p.Close(0);  // lets the blocked write fail
  }
  EXPECT_FALSE(posted.get());
}

TEST(Notify, PipeWithoutReaderRaisesNoSigpipe) {
  Pipe p;
  p.Close(0);
  EXPECT_FALSE(PostNotification(p.fds[1], 1, 2, 3));  // SIGPIPE would end the test program here
  sigset_t pending, mask;
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE)) << "left pending";
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  EXPECT_FALSE(sigismember(&mask, SIGPIPE)) << "left blocked";
}

TEST(Notify, EventFdCountsNotifications) {
  const int fd = eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(PostNotification(fd, 0, 0, 0));
  EXPECT_TRUE(PostNotification(fd, 5, 6, 7));
  uint64_t count = 0;
  EXPECT_EQ(read(fd, &count, sizeof count), 8);
  EXPECT_EQ(count, 2u);
  close(fd);
}

// A stale handle whose number the host reused for its output file must never grow that file.
TEST(Notify, DescriptorsThatAreNoChannelAreWrittenNothing) {
  std::FILE* output = std::tmpfile();
  ASSERT_NE(output, nullptr);
  const int file = dup(fileno(output));
  std::fclose(output);
  ASSERT_EQ(write(file, "a,b\n", 4), 4);
  const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int device = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  const struct {
    const char* kind;
    int fd;
  } cases[] = {
      {"regular file", file}, {"directory", folder}, {"character device", device}, {"terminal", terminal}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    ASSERT_GE(c.fd, 0);
    struct stat before = {};
    struct stat after = {};
    ASSERT_EQ(fstat(c.fd, &before), 0);
    const off_t offset = lseek(c.fd, 0, SEEK_CUR);
    EXPECT_FALSE(PostNotification(c.fd, 1809, 1, 0));
    ASSERT_EQ(fstat(c.fd, &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(lseek(c.fd, 0, SEEK_CUR), offset);
    close(c.fd);
  }
}

TEST(Notify, InvalidDescriptorIsIgnored) {
  Pipe p;
  const int closed = p.fds[1];
  p.Close(1);
  errno = 1234;
  EXPECT_FALSE(PostNotification(closed, 1, 2, 3));
  EXPECT_EQ(errno, 1234) << "errno changed";
  EXPECT_FALSE(PostNotification(-1, 1, 2, 3));
  EXPECT_FALSE(PostNotification(intptr_t{1} << 40, 1, 2, 3));
}

#endif

}  // namespace
}  // namespace kvo::platform
