// Waits for what another thread (the serial reader, a bridge process, the
// event loop's timers) brings about: polls done() until it holds or a
// generous limit has passed, and returns done()'s last answer. Tests assert
// on that answer, never on how long it took.
#pragma once

#include <thread>

constexpr int WAIT_LIMIT_MS = 20000;
constexpr int WAIT_STEP_MS = 5;

inline void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// pause(ms) runs between two polls: a sleep, or a GUI test's event loop.
template <typename Done, typename Pause = void (*)(int)>
bool WaitUntil(Done done, int limitMs = WAIT_LIMIT_MS, Pause pause = &SleepMs) {
  for (int waited = 0; waited < limitMs; waited += WAIT_STEP_MS) {
    if (done()) return true;
    pause(WAIT_STEP_MS);
  }
  return done();
}
