#include "bridge/received_text.h"

CReceivedText::CReceivedText() = default;

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

// Reader thread: the first byte of a new opening.
void CReceivedText::StartEpoch(std::uint32_t epoch) {
  Publish();
  m_nStagedEpoch = epoch;
}

// Runs on the serial reader thread at the end of each block.
void CReceivedText::Publish() {
  if (m_nStagedBytes == 0) return;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_nStagedEpoch == m_nOpenEpoch.load(std::memory_order_relaxed)) m_strPending.append(m_staged, m_nStagedLength);
    m_nShownBytes += m_nStagedBytes;
  }
  m_nStagedLength = 0;
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
