// The one way a test waits for what another thread, a child process or the
// event loop brings about: WaitUntil polls done() every few milliseconds
// until it holds or limitMs have passed on the monotonic clock, and returns
// done()'s last answer. Tests assert on that answer, never on how long it
// took, and never sleep for a fixed while instead.
//
// A wait that proves something does NOT happen cannot end on a condition:
// it passes a short limit and a done() that turns true only if the thing
// happens anyway (so a failure shows at once), then asserts that it did not.
// Each such wait says so where it stands.
#pragma once

#include <thread>

constexpr int WAIT_LIMIT_MS = 20000;  // generous: sanitizer builds on a loaded machine
constexpr int WAIT_STEP_MS = 5;

inline void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// pause(ms) runs between two polls: a sleep, or a GUI test's event loop
// (RunEventsMs in platform/window/window_test_support.h).
template <typename Done, typename Pause = void (*)(int)>
bool WaitUntil(Done done, int limitMs = WAIT_LIMIT_MS, Pause pause = &SleepMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (done()) return true;
    const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pause(left < WAIT_STEP_MS ? static_cast<int>(left) : WAIT_STEP_MS);
  }
}
