#include "platform/stop_request.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Wakes the main thread without stopping it.
int WakeSignal() { return SIGRTMIN; }

sigset_t WaitedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, WakeSignal());
  return set;
}

}  // namespace

void PrepareStopRequests() {
  const sigset_t waited = WaitedSignals();
  pthread_sigmask(SIG_BLOCK, &waited, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

StopWait WaitForStopRequest(long timeoutMs) {
  const sigset_t waited = WaitedSignals();
  int received;
  if (timeoutMs >= 0) {
    const timespec period{static_cast<time_t>(timeoutMs / 1000), (timeoutMs % 1000) * 1000000L};
    received = sigtimedwait(&waited, nullptr, &period);
  } else {
    received = sigwaitinfo(&waited, nullptr);
  }
  if (received < 0) return errno == EAGAIN ? StopWait::kTimeout : StopWait::kWake;  // EINTR: look again
  return received == WakeSignal() ? StopWait::kWake : StopWait::kStop;
}

void RequestStop() { kill(getpid(), SIGTERM); }

void WakeStopWaiter() { kill(getpid(), WakeSignal()); }

void StopRequestsDone() {}
