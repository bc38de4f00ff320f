#include "platform/stop_request.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_lock;
std::condition_variable g_changed;
bool g_stop = false;  // under g_lock, and the three below
bool g_wake = false;
bool g_done = false;

// The system's own thread runs this. For the events after which it ends the
// process (about five seconds later at most), the handler holds on until
// main has closed the port and the socket.
BOOL WINAPI OnConsoleControl(DWORD event) {
  RequestStop();
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    std::unique_lock<std::mutex> guard(g_lock);
    g_changed.wait_for(guard, std::chrono::milliseconds(4500), [] { return g_done; });
  }
  return TRUE;
}

}  // namespace

void PrepareStopRequests() { SetConsoleCtrlHandler(&OnConsoleControl, TRUE); }

StopWait WaitForStopRequest(long timeoutMs) {
  std::unique_lock<std::mutex> guard(g_lock);
  const auto ready = [] { return g_stop || g_wake; };
  if (timeoutMs < 0) {
    g_changed.wait(guard, ready);
  } else {
    g_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
  }
  if (g_stop) return StopWait::kStop;
  if (!g_wake) return StopWait::kTimeout;
  g_wake = false;
  return StopWait::kWake;
}

void RequestStop() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_stop = true;
  g_changed.notify_all();
}

void WakeStopWaiter() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_wake = true;
  g_changed.notify_all();
}

void StopRequestsDone() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_done = true;
  g_changed.notify_all();
}
