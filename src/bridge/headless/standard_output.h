// The headless bridge's standard output, which may go away under it (a
// pipe closed at its far end, `... | head -1`, or a full disk): that is said
// once and the bridge goes on forwarding.
#pragma once

// Main thread. Flushes standard output; the first time that fails says so
// once on standard error and points standard output at the null device, so
// that later lines cost nothing and nothing else depends on it.
void FlushStandardOutput();
