// What a serial driver lost or damaged, as its error counters show it, and
// when to say so. Pure values: no thread of its own, never blocks.
#pragma once

#include <cstdint>

// Counts since the port was opened: bytes the UART had no room for
// (overrun), bytes the kernel's buffer had no room for while the reader was
// too slow (bufferOverrun), and bytes received with a parity or framing
// error.
struct SerialErrorCounts {
  std::uint32_t overrun = 0;
  std::uint32_t bufferOverrun = 0;
  std::uint32_t parity = 0;
  std::uint32_t frame = 0;

  // The bytes the driver dropped.
  std::uint32_t Dropped() const { return overrun + bufferOverrun; }
  bool operator==(const SerialErrorCounts&) const = default;
};

// Counters wrap like the driver's, so a difference stays right across a wrap.
SerialErrorCounts operator-(const SerialErrorCounts& a, const SerialErrorCounts& b);
SerialErrorCounts operator+(const SerialErrorCounts& a, const SerialErrorCounts& b);

// Decides when growing counters are said: the first growth at once, further
// growth at most once per interval, each time with the totals. Counters that
// stand still are never said again. Owned and called by one thread.
class CSerialErrorNotice {
 public:
  explicit CSerialErrorNotice(std::uint32_t intervalMs = 5000) : m_nIntervalMs(intervalMs) {}
  // Starts over from zero, as for a port opened afresh.
  void Reset();
  // true when the counts, as read at tick nowMs (milliseconds, wrapping),
  // are to be said now; then they count as said. With last (the port is
  // being closed) growth is due whatever the interval, so none goes unsaid.
  bool Due(const SerialErrorCounts& counts, std::uint32_t nowMs, bool last = false);

 private:
  std::uint32_t m_nIntervalMs;
  SerialErrorCounts m_said;
  bool m_bSaidOnce = false;
  std::uint32_t m_nSaidAt = 0;
};
