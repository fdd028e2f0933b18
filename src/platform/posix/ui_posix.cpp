// User interface on POSIX: there is none, so messages go to standard error.
#include "platform/ui.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace kvo::platform {

void ShowSystemMessageBox(const char* text, const char* caption, MessageIcon) {
  try {
    std::string line;
    if (caption != nullptr && *caption != '\0') {
      line += caption;
      line += ": ";
    }
    if (text != nullptr) line += text;
    line += '\n';
    // One write keeps the line whole among other threads' output.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
      const ssize_t written = write(STDERR_FILENO, p, left);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) break;
      p += written;
      left -= static_cast<size_t>(written);
    }
  } catch (...) {
    // Out of memory for the line: the message is lost, as a failed message box would be.
  }
}

void ProcessPendingEvents() {}

}  // namespace kvo::platform
