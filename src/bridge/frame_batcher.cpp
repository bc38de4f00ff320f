#include "bridge/frame_batcher.h"

#include <cstddef>
#include <cstring>

void CFrameBatcher::CompleteFrame(std::int32_t fill, CNetPort& net) {
  // One batch holds frames of one size: a size changed mid-block sends (or
  // drops) what was batched before the new frame joins.
  if (m_nBatchFrames != 0 && (fill != m_nBatchFrameSize || m_nBatchFrames == FRAME_BATCH_FRAMES ||
                              (m_nBatchFrames + 1) * fill > FRAME_BATCH_BYTES)) {
    SendBatch(net);
  }
  std::memcpy(m_batch + static_cast<std::size_t>(m_nBatchFrames) * static_cast<std::size_t>(fill), m_frame,
              static_cast<std::size_t>(fill));
  m_nBatchFrameSize = fill;
  ++m_nBatchFrames;
  DiscardFrame();
}

void CFrameBatcher::SendBatch(CNetPort& net) {
  const std::int32_t frames = m_nBatchFrames;
  if (frames == 0) return;
  m_nBatchFrames = 0;
  net.SendFrames(m_batch, m_nBatchFrameSize, frames);
}

void CFrameBatcher::FlushPartial(CNetPort& net) {
  if (TakeResetRequest()) {
    DiscardFrame();  // the UI reset the frame: nothing of it may leave
    return;
  }
  const std::int32_t fill = m_nFrameFill.load(std::memory_order_relaxed);
  if (fill == 0) return;
  if (net.SendShortFrame(m_frame, fill)) DiscardFrame();
}

void CFrameBatcher::DiscardFrame() {
  std::memset(m_frame, 0, sizeof m_frame);
  m_nFrameFill.store(0, std::memory_order_relaxed);
}
