#include "ui/received_text.h"

CReceivedText::CReceivedText() { m_strStaged.reserve(3 * PUBLISH_AT); }

void CReceivedText::Open() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (++m_nLastEpoch == 0) ++m_nLastEpoch;
  m_strPending.clear();
  m_nOpenEpoch.store(m_nLastEpoch, std::memory_order_release);
}

void CReceivedText::Close() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_nOpenEpoch.store(0, std::memory_order_release);
}

// Runs on the serial reader thread, once per received byte while the console is up.
void CReceivedText::Append(unsigned int byte) {
  const std::uint32_t epoch = m_nOpenEpoch.load(std::memory_order_acquire);
  if (epoch == 0) return;
  if (epoch != m_nStagedEpoch) {
    Publish();  // what an earlier opening staged is counted, not shown
    m_nStagedEpoch = epoch;
  }
  ++m_nStagedBytes;
  unsigned char c = static_cast<unsigned char>(byte & 0xFF);
  if (c < 0x20 || c > 0x7F) c = '.';
  if (c == '$') {
    m_strStaged += "\r\n$";
  } else {
    m_strStaged += static_cast<char>(c);
  }
  if (m_strStaged.size() >= PUBLISH_AT) Publish();
}

// Runs on the serial reader thread at the end of each block.
void CReceivedText::Publish() {
  if (m_nStagedBytes == 0) return;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_nStagedEpoch == m_nOpenEpoch.load(std::memory_order_relaxed)) m_strPending += m_strStaged;
    m_nShownBytes += m_nStagedBytes;
  }
  m_strStaged.clear();
  m_nStagedBytes = 0;
}

CReceivedText::Tick CReceivedText::TakeTick() {
  Tick tick;
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_nShownBytes > CLEAR_AFTER_BYTES) {
    m_nShownBytes = 0;
    tick.bClear = true;
  }
  tick.text.swap(m_strPending);
  return tick;
}

std::uint32_t CReceivedText::GetShownBytes() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_nShownBytes;
}
