// How a program without a window is told to stop, and how its main thread
// waits for that while other threads wake it to look at something.
//
// POSIX: SIGHUP (the terminal or the supervisor's session ended), SIGINT and
// SIGTERM stop; they are blocked in every thread and taken in
// WaitForStopRequest, so they end no thread halfway. SIGPIPE is ignored:
// standard output closed at its far end is a write error, said once. A
// wake-up is SIGRTMIN. Windows: Ctrl+C, Ctrl+Break, the console window
// closed, log-off and shut-down stop (a console control handler); for the
// last three the system ends the process once the handler returns, so the
// handler waits until StopRequestsDone, at most a few seconds.
#pragma once

enum class StopWait { kStop, kWake, kTimeout };

// Main thread, before any other thread starts (threads inherit the signal
// mask).
void PrepareStopRequests();

// Main thread. Waits until a stop is requested (kStop, also for every later
// call), another thread calls WakeStopWaiter (kWake) or timeoutMs have
// passed (kTimeout; -1 waits without a limit). May return kWake without a
// reason: the caller looks and waits again.
StopWait WaitForStopRequest(long timeoutMs);

// Any thread, the reader included; never blocks. RequestStop asks for the
// stop as a signal would; WakeStopWaiter only ends the current wait.
void RequestStop();
void WakeStopWaiter();

// Main thread, when the program has closed what it holds and is about to
// return from main.
void StopRequestsDone();
