#include "bridge/net_port.h"

#include <algorithm>
#include <cerrno>

#include "bridge/frame_batcher.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

}  // namespace

SysError CNetPort::Open(CUdpPort& udp, const char* bindAddress) {
  bool bound;
  {
    std::lock_guard<std::mutex> net(m_netLock);
    bound = udp.Create(SOCKET_TYPE_DATAGRAM, bindAddress) == 1 && Bind(udp, bindAddress) == 1;
  }
  if (bound) return SysError();
  const SysError failure = udp.GetBindError();
  // Create and Bind keep the system's error number of every failure; a
  // failure without one is still a failure.
  return failure.Failed() ? failure : SysError{SysStep::kBind, EIO};
}

int CNetPort::Bind(CUdpPort& udp, const char* bindAddress) {
  return udp.Bind(m_nLocalPort, bindAddress) == 1 ? 1 : 0;
}

void CNetPort::Close() {
  std::lock_guard<std::mutex> net(m_netLock);
  m_udp.Close();
}

bool CNetPort::IsOpen() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_udp.IsOpen();
}

std::uint16_t CNetPort::GetBoundPort() const { return m_udp.GetBoundPort(); }

void CNetPort::SetSettings(std::uint16_t localPort, const std::string& targetIp, std::uint16_t targetPort,
                           int frameSize) {
  std::lock_guard<std::mutex> net(m_netLock);
  m_nLocalPort = localPort;
  m_strTargetIp = targetIp;
  m_nTargetPort = targetPort;
  m_nFrameSize.store(frameSize, kRelaxed);
}

void CNetPort::SetFrameSize(int frameSize) {
  std::lock_guard<std::mutex> net(m_netLock);
  m_nFrameSize.store(frameSize, kRelaxed);
}

std::uint16_t CNetPort::GetLocalPort() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_nLocalPort;
}

std::string CNetPort::GetTargetIp() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_strTargetIp;
}

std::uint16_t CNetPort::GetTargetPort() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_nTargetPort;
}

void CNetPort::SendFrames(const std::uint8_t* frames, int frameSize, int count) {
  int sent;
  int error;
  {
    std::lock_guard<std::mutex> net(m_netLock);
    sent = m_udp.SendFrames(frames, frameSize, count, m_strTargetIp.c_str(), m_nTargetPort);
    error = m_udp.GetLastSendError();
  }
  CountSent(count, sent, error);
}

bool CNetPort::SendShortFrame(const std::uint8_t* frame, int fill) {
  int sent;
  int error;
  {
    std::lock_guard<std::mutex> net(m_netLock);
    // Only ever shorter than a frame: with the size lowered below the fill
    // (or never set) the bytes wait for the discard at 1024 as always.
    if (fill >= m_nFrameSize.load(kRelaxed)) return false;
    sent = m_udp.SendTo(frame, fill, m_strTargetIp.c_str(), m_nTargetPort) == fill ? 1 : 0;
    error = m_udp.GetLastSendError();
  }
  CountSent(1, sent, error);
  return true;
}

int CNetPort::SendFrame(CUdpPort& udp, const std::uint8_t* frame) {
  std::lock_guard<std::mutex> net(m_netLock);
  const std::int32_t size = m_nFrameSize.load(kRelaxed);
  // A size beyond the buffer would send memory that is not the frame.
  if (size <= 0 || size > FRAME_BUFFER_SIZE) return 0;
  // One datagram straight from the frame buffer, no copy. Success means the
  // whole frame left; -1 is a failure, not a result "other than 0".
  return udp.SendTo(frame, size, m_strTargetIp.c_str(), m_nTargetPort) == size ? 1 : 0;
}

void CNetPort::ResetCounts() {
  m_nFramesSent.store(0, kRelaxed);
  m_nFramesFailed.store(0, kRelaxed);
  m_nSendError.store(0, kRelaxed);
}

void CNetPort::CountSent(int frames, int sent, int error) {
  sent = std::max(0, std::min(sent, frames));
  // Only what left counts as sent: a frame the kernel refused is not.
  if (sent > 0) m_nFramesSent.fetch_add(static_cast<std::uint64_t>(sent), kRelaxed);
  if (sent < frames) {
    m_nFramesFailed.fetch_add(static_cast<std::uint64_t>(frames - sent), kRelaxed);
    if (error == 0) error = EIO;
  } else {
    error = 0;
  }
  if (m_nSendError.exchange(error, kRelaxed) != error) {
    const SendStateListener fn = m_pfnSendState.load(std::memory_order_acquire);
    if (fn != nullptr) fn(error, m_pSendStateContext.load(std::memory_order_acquire));
  }
}

void CNetPort::SetSendStateListener(SendStateListener fn, void* context) {
  m_pSendStateContext.store(context, std::memory_order_release);
  m_pfnSendState.store(fn, std::memory_order_release);
}
