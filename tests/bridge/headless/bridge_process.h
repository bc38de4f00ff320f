// Runs quillon-bridge as a child process with its standard output and error
// on pipes, for the process tests and the benchmark. Header only. The
// destructor kills and reaps a child that is still running.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/wait.h"

extern char** environ;

class BridgeProcess {
 public:
  BridgeProcess() = default;
  ~BridgeProcess() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      int status = 0;
      waitpid(m_pid, &status, 0);
    }
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
  }
  BridgeProcess(const BridgeProcess&) = delete;
  BridgeProcess& operator=(const BridgeProcess&) = delete;

  // withStdout false starts the child with descriptor 1 closed.
  bool Start(const std::string& program, const std::vector<std::string>& args, bool withStdout = true) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
      close(out[0]);
      close(out[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withStdout) {
      posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    } else {
      posix_spawn_file_actions_addclose(&actions, 1);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int spawned = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (spawned != 0) m_pid = -1;
    return spawned == 0;
  }

  pid_t Pid() const { return m_pid; }

  // Reads one line (without its line feed) from standard output; false on
  // end of file or after timeoutMs without a complete line.
  bool ReadLine(std::string& line, int timeoutMs) { return ReadLineFrom(m_out, m_outBuffer, line, timeoutMs); }

  // The same for standard error.
  bool ReadErrorLine(std::string& line, int timeoutMs) { return ReadLineFrom(m_err, m_errBuffer, line, timeoutMs); }

  // Everything the child wrote to standard error and no ReadErrorLine took
  // (call after it has ended).
  std::string ReadAllErrors() {
    std::string all;
    all.swap(m_errBuffer);
    char buffer[4096];
    for (;;) {
      ssize_t n = read(m_err, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      all.append(buffer, static_cast<size_t>(n));
    }
    return all;
  }

  bool Signal(int number) { return m_pid > 0 && kill(m_pid, number) == 0; }

  // Closes the reading end of standard output, as `| head -1` does once it
  // has its line.
  void CloseOutput() {
    if (m_out >= 0) close(m_out);
    m_out = -1;
  }

  // Waits up to timeoutMs for the child to end: its exit status, or -1 after
  // the wait ran out (the child is then killed) or when it died by a signal.
  // usage receives the child's resource use.
  int Wait(int timeoutMs, rusage* usage = nullptr) {
    if (m_pid <= 0) return -1;
    int status = 0;
    rusage used {};
    const bool ended = WaitUntil([&] { return wait4(m_pid, &status, WNOHANG, &used) == m_pid; }, timeoutMs);
    if (!ended) {
      kill(m_pid, SIGKILL);
      if (wait4(m_pid, &status, 0, &used) != m_pid) return -1;
    }
    m_pid = -1;
    if (usage != nullptr) *usage = used;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  static bool ReadLineFrom(int fd, std::string& buffer, std::string& line, int timeoutMs) {
    bool ended = false;  // end of file, or the pipe failed
    // Takes what the pipe holds now; true once a line is complete or no more can come.
    auto lineOrEnd = [&] {
      char chunk[4096];
      while (buffer.find('\n') == std::string::npos && !ended) {
        pollfd p {fd, POLLIN, 0};
        const int ready = poll(&p, 1, 0);
        if (ready == 0) return false;  // nothing yet
        const ssize_t n = ready > 0 ? read(fd, chunk, sizeof chunk) : -1;
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
          buffer.append(chunk, static_cast<size_t>(n));
        } else {
          ended = true;
        }
      }
      return true;
    };
    WaitUntil(lineOrEnd, timeoutMs);
    const size_t newline = buffer.find('\n');
    if (newline == std::string::npos) return false;
    line = buffer.substr(0, newline);
    buffer.erase(0, newline + 1);
    return true;
  }

  pid_t m_pid = -1;
  int m_out = -1;
  int m_err = -1;
  std::string m_outBuffer;
  std::string m_errBuffer;
};
