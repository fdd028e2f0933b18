// The help viewer on POSIX: an external program, started detached so it outlives the request and
// never becomes a zombie of the host.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/help.h"

extern char** environ;

namespace kvo::platform {

namespace {

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool HasDisplay() {
  return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY");
}

// Full path of an executable found on PATH, or empty.
std::string FindProgram(std::string_view name) {
  const char* path_env = std::getenv("PATH");
  const std::string_view path = path_env != nullptr ? path_env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view folder = end > start ? path.substr(start, end - start) : std::string_view(".");
    std::string candidate;
    candidate.reserve(folder.size() + 1 + name.size());
    candidate.append(folder).append(1, '/').append(name);
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

// The user's command with %f and %c turned into the shell's first and second positional parameters,
// so the file name reaches the viewer as one word and is never read as shell code. Without %f the
// file is added at the end.
std::string ViewerScript(std::string_view command) {
  std::string script;
  bool has_file = false;
  for (size_t i = 0; i < command.size(); ++i) {
    if (command[i] == '%' && i + 1 < command.size()) {
      const char next = command[i + 1];
      if (next == 'f' || next == 'c' || next == '%') {
        ++i;
        if (next == 'f') {
          script += "\"$1\"";
          has_file = true;
        } else if (next == 'c') {
          script += "\"$2\"";
        } else {
          script += '%';
        }
        continue;
      }
    }
    script += command[i];
  }
  if (!has_file) script += " \"$1\"";
  return script;
}

// Records passed from the children to the parent through the status pipe.
struct LaunchRecord {
  int32_t kind;  // 'P': the viewer's process id, 'E': errno of a failed fork or exec
  int32_t value;
};

// Runs argv[0] (a full path) in a new session, with standard streams on /dev/null, in a grandchild
// that the system adopts. Returns the grandchild's process id once it has started the program, or 0.
HelpWindow SpawnDetached(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd < 0) return 0;
  int status_pipe[2];
  if (pipe2(status_pipe, O_CLOEXEC) != 0) {
    close(null_fd);
    return 0;
  }
  // Only async-signal-safe calls from here on in the children: the host may have other threads.
  const pid_t middle = fork();
  if (middle == 0) {
    setsid();
    const pid_t viewer = fork();
    if (viewer == 0) {
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      dup2(null_fd, STDIN_FILENO);
      dup2(null_fd, STDOUT_FILENO);
      dup2(null_fd, STDERR_FILENO);
#ifdef CLOSE_RANGE_CLOEXEC
      // The host's other descriptors (sockets, pipes of its own children) stay with the host.
      close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
      execve(args[0], args.data(), environ);
      const LaunchRecord failed{'E', errno};
      [[maybe_unused]] const ssize_t n = write(status_pipe[1], &failed, sizeof failed);
      _exit(127);
    }
    const LaunchRecord started = viewer > 0 ? LaunchRecord{'P', viewer} : LaunchRecord{'E', errno};
    [[maybe_unused]] const ssize_t n = write(status_pipe[1], &started, sizeof started);
    _exit(0);
  }
  close(status_pipe[1]);
  close(null_fd);
  if (middle < 0) {
    close(status_pipe[0]);
    return 0;
  }
  while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  // The pipe ends when the viewer's exec succeeds (close-on-exec) or its child gives up.
  pid_t viewer = 0;
  bool failed = false;
  LaunchRecord record{};
  for (;;) {
    const ssize_t got = read(status_pipe[0], &record, sizeof record);
    if (got < 0 && errno == EINTR) continue;
    if (got != static_cast<ssize_t>(sizeof record)) break;
    if (record.kind == 'P') viewer = record.value;
    if (record.kind == 'E') failed = true;
  }
  close(status_pipe[0]);
  return failed || viewer <= 0 ? 0 : static_cast<HelpWindow>(viewer);
}

// The viewer's command line for `file`; `context` empty asks for the table of contents. Empty when
// no viewer is installed.
std::vector<std::string> ViewerCommand(const std::string& file, const std::string& context) {
  if (const char* command = std::getenv("KVO_HELP_VIEWER"); command != nullptr && *command != '\0')
    return {"/bin/sh", "-c", ViewerScript(command), "kvo-help", file, context};
  if (std::string xchm = FindProgram("xchm"); !xchm.empty()) {
    if (context.empty()) return {xchm, file};
    return {xchm, "-c", context, file};
  }
  if (std::string opener = FindProgram("xdg-open"); !opener.empty()) return {opener, file};
  return {};
}

class PosixHelpViewer final : public HelpViewer {
 public:
  bool Available() override { return HasDisplay(); }

  HelpWindow ShowContext(HelpWindow /*owner*/, const HelpTarget& target, uint32_t context) override {
    // Not std::to_string: its digit table is a unique symbol, which would keep a module that holds
    // this code from ever being unloaded.
    char number[16];
    std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(context));
    return Show(target.file, number);
  }

  HelpWindow ShowContents(HelpWindow /*owner*/, const HelpTarget& target) override {
    return Show(target.file, std::string());
  }

 private:
  static HelpWindow Show(const std::string& file, const std::string& context) {
    if (!HasDisplay()) return 0;
    const std::vector<std::string> command = ViewerCommand(file, context);
    if (command.empty()) return 0;
    return SpawnDetached(command);
  }
};

}  // namespace

HelpViewer& SystemHelpViewer() {
  static PosixHelpViewer viewer;
  return viewer;
}

}  // namespace kvo::platform
