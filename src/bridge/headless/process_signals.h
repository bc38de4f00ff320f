// How the headless bridge meets signals and a standard output that goes
// away. SIGHUP (the terminal or the supervisor's session ended), SIGINT and
// SIGTERM end it cleanly: they are blocked in every thread and taken by
// sigwaitinfo in main, which then closes and releases the port. SIGPIPE is
// ignored: standard output closed at its far end (`... | head -1`) is an
// EPIPE that FlushStandardOutput reports once, and the bridge goes on
// forwarding. Every other signal keeps its default.
#pragma once

#include <signal.h>

// The signals that stop the bridge cleanly.
sigset_t StopSignals();

// Main thread, before any other thread starts (they inherit the mask).
void PrepareSignals();

// Main thread. Flushes standard output; the first time that fails (EPIPE,
// a full disk) says so once on standard error and points standard output at
// /dev/null, so that later lines cost nothing and nothing else depends on it.
void FlushStandardOutput();
