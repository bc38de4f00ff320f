// CNetPort: the document's network side. It owns the UDP sender (m_udp) for
// the document's whole life, the network settings that frames leave with,
// and what became of the frames: how many left, how many did not, and why
// sends fail now.
//
// Threads. Open, Bind, Close and the settings run on the UI thread; the sends
// on the serial reader thread, while the device holds its lock. m_netLock
// guards the settings and the socket: it is held over Create + Bind and over
// every send, so a frame leaves either through the old socket or through the
// new, bound one (never through a descriptor that was just closed, and maybe
// reused, or not yet bound) and never with half-written settings. The counts
// and the send error are atomics that the reader writes after it has let
// go of the lock.
// Lock order: device lock → m_netLock. Nothing under m_netLock takes another
// lock or calls out; the send-state listener runs without it.
// Blocking: Open and Close hold m_netLock over the sender's 10 ms pause after
// a close, so a send waits as long; a send may block while the socket's
// buffer is full.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "bridge/udp_port.h"
#include "platform/sys_error.h"

class CNetPort {
 public:
  // Called on the reader thread (device lock held, m_netLock not) when sends
  // start to fail, fail for another cause, or work again; it must not block.
  using SendStateListener = void (*)(int error, void* context);

  CNetPort() = default;
  CNetPort(const CNetPort&) = delete;
  CNetPort& operator=(const CNetPort&) = delete;

  // The document's own sender. Its socket is re-created by Open and closed by
  // Close, both under m_netLock; read its facts on the UI thread.
  CUdpPort& GetUdp() { return m_udp; }
  const CUdpPort& GetUdp() const { return m_udp; }

  // Re-creates udp's socket and binds it to the local port on bindAddress
  // (all interfaces when null), under m_netLock. The failure is the one of
  // Create or Bind that failed (udp.GetBindError()); no failure when bound.
  // UI thread.
  SysError Open(CUdpPort& udp, const char* bindAddress);
  // Binds udp to the local port on bindAddress. 1 on success. UI thread; it
  // touches nothing a send reads, so it takes no lock (Open holds m_netLock
  // around it).
  int Bind(CUdpPort& udp, const char* bindAddress);
  // Closes m_udp's socket under m_netLock: the local port is free on return
  // and no frame leaves afterwards (frames completed meanwhile are counted as
  // not sent). UI thread.
  void Close();
  // Whether m_udp holds a socket. Any thread.
  bool IsOpen() const;
  // The local port m_udp is bound to; 0 without a bound socket. UI thread.
  std::uint16_t GetBoundPort() const;

  // The settings frames leave with, written together under m_netLock. A frame
  // size outside 1..1024 never completes a frame. UI thread.
  void SetSettings(std::uint16_t localPort, const std::string& targetIp, std::uint16_t targetPort, int frameSize);
  void SetFrameSize(int frameSize);
  std::uint16_t GetLocalPort() const;
  std::string GetTargetIp() const;
  std::uint16_t GetTargetPort() const;
  // Read per byte by the reader without the lock and again under it before a
  // partial frame leaves, so it never leaves as long as a frame. Any thread.
  int GetFrameSize() const { return m_nFrameSize.load(std::memory_order_relaxed); }

  // Reader thread. Sends count frames of frameSize bytes each, cut one after
  // the other from frames, one datagram each, in order, through m_udp under
  // m_netLock; then counts those that left and those that did not.
  void SendFrames(const std::uint8_t* frames, int frameSize, int count);
  // Reader thread (the idle flush). Sends the fill bytes of a partial frame
  // as one datagram and counts it as a frame, unless fill is not below the
  // frame size (then nothing is sent: false).
  bool SendShortFrame(const std::uint8_t* frame, int fill);
  // Sends the first frame-size bytes of frame through udp in one datagram to
  // the target, under m_netLock, and counts nothing. 1 when the whole frame
  // left; 0 when the send failed or the size is not 1..1024. Any thread that
  // owns frame.
  int SendFrame(CUdpPort& udp, const std::uint8_t* frame);

  // What became of the frames since the last ResetCounts. Any thread.
  std::uint64_t GetFramesSent() const { return m_nFramesSent.load(std::memory_order_relaxed); }
  std::uint64_t GetFramesFailed() const { return m_nFramesFailed.load(std::memory_order_relaxed); }
  // The system's error number of the sends that fail now; 0 while they work.
  int GetSendError() const { return m_nSendError.load(std::memory_order_relaxed); }
  // Sends, failures and the send error back to 0. UI thread.
  void ResetCounts();
  // Null removes it. Set it before the port opens or while it is closed.
  void SetSendStateListener(SendStateListener fn, void* context);

 private:
  // Counts the outcome of one send of frames and tells the listener of a
  // change of cause. Reader thread, m_netLock not held.
  void CountSent(int frames, int sent, int error);

  mutable std::mutex m_netLock;
  CUdpPort m_udp;
  // Guarded by m_netLock. m_nLocalPort is read by Bind only.
  std::uint16_t m_nLocalPort = 0;
  std::uint16_t m_nTargetPort = 0;
  std::string m_strTargetIp;
  // Written under m_netLock; see GetFrameSize.
  std::atomic<std::int32_t> m_nFrameSize{0};
  std::atomic<std::uint64_t> m_nFramesSent{0};
  std::atomic<std::uint64_t> m_nFramesFailed{0};
  std::atomic<std::int32_t> m_nSendError{0};
  std::atomic<SendStateListener> m_pfnSendState{nullptr};
  std::atomic<void*> m_pSendStateContext{nullptr};
};
