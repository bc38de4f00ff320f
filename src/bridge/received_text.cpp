#include "bridge/received_text.h"

void AppendWaitingText(std::string& waiting, const char* data, std::size_t n) {
  if (n >= RECEIVED_TEXT_LIMIT) {
    waiting.assign(data + (n - RECEIVED_TEXT_LIMIT), RECEIVED_TEXT_LIMIT);
    return;
  }
  const std::size_t keep = RECEIVED_TEXT_LIMIT - n;
  if (waiting.size() > keep) waiting.erase(0, waiting.size() - keep);
  waiting.append(data, n);
}

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
    if (m_nStagedEpoch == m_nOpenEpoch.load(std::memory_order_relaxed)) AppendWaitingText(m_strPending, m_staged, m_nStagedLength);
    m_nShownBytes += m_nStagedBytes;
  }
  m_nStagedLength = 0;
  m_nStagedBytes = 0;
}

CReceivedText::Tick CReceivedText::TakeTick() {
  Tick tick;
  std::lock_guard<std::mutex> guard(m_lock);
  if (PastReceivedTextLimit(m_nShownBytes)) {
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
