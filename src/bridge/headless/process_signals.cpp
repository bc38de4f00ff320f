#include "bridge/headless/process_signals.h"

#include "bridge/headless/bridge_texts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

void PrepareSignals() {
  const sigset_t stop = StopSignals();
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void FlushStandardOutput() {
  if (std::fflush(stdout) == 0) return;
  const int code = errno;
  std::fprintf(stderr, Tr("quillon-bridge: standard output failed (%s); going on without it\n"), std::strerror(code));
  std::fflush(stderr);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);  // dup2 leaves descriptor 1 without O_CLOEXEC
    close(null);
  }
  std::clearerr(stdout);
}
