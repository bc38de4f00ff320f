// CFrameBatcher: collects the forwarded bytes into frames of exactly the
// frame size and holds the frames that complete within one read block, so
// that they leave together at the block's end (sooner only when the batch is
// full) through the network side; the idle flush sends the partial frame.
//
// Threads. The frame, its fill and the batch belong to the serial reader
// thread, which runs Byte, SendBatch and FlushPartial while the device holds
// its lock and takes no lock per byte. The UI thread reads the fill and asks
// for a reset; the reader applies the reset at its next framed byte, so a
// byte arriving meanwhile cannot undo it. Sending takes the network side's
// m_netLock (device lock → m_netLock) and may block as a send does.
#pragma once

#include <atomic>
#include <cstdint>
#include <iterator>

#include "bridge/net_port.h"
#include "bridge/udp_port.h"

constexpr int FRAME_BUFFER_SIZE = 1024;
// The frame sizes the program offers, in bytes, smallest first.
inline constexpr int FRAME_SIZES[] = {128, 256, 512, 1024};
static_assert(FRAME_SIZES[std::size(FRAME_SIZES) - 1] == FRAME_BUFFER_SIZE, "the largest frame fills the buffer");
// The frames one batch holds at most, and their bytes: a read block of 4096
// bytes completes at most 33 frames of 128 bytes or 5 of 1024.
constexpr int FRAME_BATCH_FRAMES = CUdpSocket::kMaxBatch;
constexpr int FRAME_BATCH_BYTES = 16384;

class CFrameBatcher {
 public:
  CFrameBatcher() = default;
  CFrameBatcher(const CFrameBatcher&) = delete;
  CFrameBatcher& operator=(const CFrameBatcher&) = delete;

  // Bytes collected for the frame under construction; may lag by a byte. Any
  // thread.
  int GetFrameFill() const { return m_nFrameFill.load(std::memory_order_relaxed); }
  // The frame under construction starts again empty. UI thread.
  void RequestReset() {
    m_nFrameFill.store(0, std::memory_order_relaxed);
    m_bFrameResetRequested.store(true, std::memory_order_relaxed);
  }

  // Reader thread, once per forwarded byte: stores b in the frame. A frame
  // that reaches net's frame size joins the batch; a buffer full without
  // matching it (size 0, or lowered below the fill) is dropped.
  void Byte(std::uint8_t b, CNetPort& net) {
    std::int32_t fill = m_nFrameFill.load(std::memory_order_relaxed);
    if (TakeResetRequest()) fill = 0;
    m_frame[fill] = b;
    ++fill;
    if (fill == net.GetFrameSize()) {
      CompleteFrame(fill, net);
    } else if (fill == FRAME_BUFFER_SIZE) {
      DiscardFrame();
    } else {
      m_nFrameFill.store(fill, std::memory_order_relaxed);
    }
  }
  // Reader thread (or any thread once the reader has been joined): sends the
  // batched frames, one datagram each, in order, at the size they completed
  // with (a size changed since then applies to the frames after them).
  void SendBatch(CNetPort& net);
  // Reader thread, idle flush, after SendBatch: the partial frame leaves as
  // one shorter datagram and the next frame starts empty. Nothing when no
  // byte waits or the fill is not below the frame size; a requested reset
  // drops the frame instead.
  void FlushPartial(CNetPort& net);

  // The frame under construction (FRAME_BUFFER_SIZE bytes). The reader's:
  // read it on the reader thread or while no serial port is open.
  const std::uint8_t* GetFrame() const { return m_frame; }

 private:
  bool TakeResetRequest() {
    return m_bFrameResetRequested.load(std::memory_order_relaxed) &&
           m_bFrameResetRequested.exchange(false, std::memory_order_relaxed);
  }
  // Moves the completed frame of fill bytes into the batch.
  __attribute__((noinline)) void CompleteFrame(std::int32_t fill, CNetPort& net);
  __attribute__((noinline)) void DiscardFrame();

  // Written by the reader per byte; the UI's reset goes through
  // m_bFrameResetRequested so that it cannot be lost to a concurrent byte.
  // Always 0..FRAME_BUFFER_SIZE - 1.
  std::atomic<std::int32_t> m_nFrameFill{0};
  std::atomic<bool> m_bFrameResetRequested{false};
  std::uint8_t m_frame[FRAME_BUFFER_SIZE] = {};  // reader thread only
  // Reader-private: the frames completed in this block, all of
  // m_nBatchFrameSize bytes, back to back.
  std::uint8_t m_batch[FRAME_BATCH_BYTES];
  std::int32_t m_nBatchFrames = 0;
  std::int32_t m_nBatchFrameSize = 0;
};
