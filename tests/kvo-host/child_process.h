// Running kvo-host as a child process with pipes on its standard streams (POSIX), for the end-to-end
// tests: all at once, or row by row as a live stream.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace kvo::host::testing {

class ChildProcess {
 public:
  // Starts `program` with `arguments`; `environment` entries ("NAME=value") are added to this process's.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env(environment);
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      bool overridden = false;
      for (const std::string& mine : environment)
        overridden = overridden || entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1);
      if (!overridden) env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
  }
  ~ChildProcess() {
    CloseInput();
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int number) {
    if (pid_ > 0 && status_ < 0) kill(pid_, number);
  }
  bool Write(const std::string& text) {
    return in_ >= 0 && write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  void CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  // Reads standard output until it holds `text` (after what was taken before); false on timeout or end.
  bool ReadOutputUntil(const std::string& text, int timeout_ms) {
    return ReadUntil(out_, out_text_, taken_, text, timeout_ms);
  }
  // The same for standard error.
  bool ReadErrorsUntil(const std::string& text, int timeout_ms) {
    return ReadUntil(err_, err_text_, err_taken_, text, timeout_ms);
  }
  // Closes standard input, reads both outputs to their end and waits for the exit status (-1 on timeout).
  int Finish(int timeout_ms = 60000) {
    CloseInput();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (out_ >= 0 || err_ >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count();
      if (left <= 0) return -1;
      pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
      if (poll(p, 2, static_cast<int>(left)) <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (p[i].fd < 0 || p[i].revents == 0) continue;
        char chunk[4096];
        const ssize_t n = read(p[i].fd, chunk, sizeof chunk);
        if (n > 0) {
          (i == 0 ? out_text_ : err_text_).append(chunk, static_cast<size_t>(n));
        } else {
          close(p[i].fd);
          (i == 0 ? out_ : err_) = -1;
        }
      }
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  const std::string& Output() const { return out_text_; }
  const std::string& Errors() const { return err_text_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  int status_ = -1;
  std::string out_text_, err_text_;
  size_t taken_ = 0, err_taken_ = 0;

  static bool ReadUntil(int fd, std::string& read_text, size_t& taken, const std::string& text,
                        int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (read_text.find(text, taken) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count();
      if (left <= 0 || fd < 0) return false;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[4096];
      const ssize_t n = read(fd, chunk, sizeof chunk);
      if (n <= 0) return false;
      read_text.append(chunk, static_cast<size_t>(n));
    }
    taken = read_text.find(text, taken) + text.size();
    return true;
  }
};

}  // namespace kvo::host::testing
