#include "device/serial_errors.h"

SerialErrorCounts operator-(const SerialErrorCounts& a, const SerialErrorCounts& b) {
  return {a.overrun - b.overrun, a.bufferOverrun - b.bufferOverrun, a.parity - b.parity, a.frame - b.frame};
}

SerialErrorCounts operator+(const SerialErrorCounts& a, const SerialErrorCounts& b) {
  return {a.overrun + b.overrun, a.bufferOverrun + b.bufferOverrun, a.parity + b.parity, a.frame + b.frame};
}

void CSerialErrorNotice::Reset() {
  m_said = SerialErrorCounts();
  m_bSaidOnce = false;
  m_nSaidAt = 0;
}

bool CSerialErrorNotice::Due(const SerialErrorCounts& counts, std::uint32_t nowMs, bool last) {
  if (counts == m_said) return false;
  // Unsigned: the interval stays right when the tick count wraps.
  if (!last && m_bSaidOnce && nowMs - m_nSaidAt < m_nIntervalMs) return false;
  m_said = counts;
  m_bSaidOnce = true;
  m_nSaidAt = nowMs;
  return true;
}
