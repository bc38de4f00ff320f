#include "bridge/quillon_doc.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/config_dir.h"
#include "platform/message_box.h"
#include "bridge/received_text.h"
#include "device/idle_flush.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// What the receive pane shows for a byte: the console's rule.
inline char DisplayForm(std::uint8_t b) { return DisplayCharOf(b); }

}  // namespace

CQuillonDoc::CQuillonDoc() {
  m_strExeDir = ExecutableDir();
  m_strConfigDir = ConfigDir();
  CreateDirectoryOneLevel(m_strConfigDir);  // an existing folder is fine; a failure is ignored
  // Linked here already: a document opened from a file skips OnNewDocument,
  // and a console without its device and document would send nowhere.
  m_commandDialog.m_pDevice = &m_device;
  m_commandDialog.m_pDoc = this;
}

CQuillonDoc::~CQuillonDoc() {
  // No byte may reach the document once its members start to go: ClearDataSink
  // returns only when no sink call runs, Stop joins the reader.
  m_device.ClearDataSink();
  m_device.Stop(nullptr);
}

int CQuillonDoc::OnNewDocument() {
  if (!CDocument::OnNewDocument()) return 0;
  m_commandDialog.m_pDevice = &m_device;
  m_commandDialog.m_pDoc = this;
  m_bForwarding.store(0, kRelaxed);
  m_bCommandOpen.store(0, kRelaxed);
  // The reader owns the fill count while a port is open; it applies the reset
  // at its next framed byte, so a byte arriving now cannot undo it.
  m_nFrameFill.store(0, kRelaxed);
  m_bFrameResetRequested.store(true, kRelaxed);
  {
    std::lock_guard<std::mutex> net(m_netLock);
    m_nFrameSize.store(0, kRelaxed);
  }
  m_nBytesReceived.store(0, kRelaxed);
  m_nFramesSent.store(0, kRelaxed);
  m_nFramesFailed.store(0, kRelaxed);
  m_nSendError.store(0, kRelaxed);
  EmptyDisplayText();
  return 1;
}

int CQuillonDoc::OpenSerial(CParameters settings) {
  if (m_device.Start(settings, nullptr) != 1) return 0;
  m_device.SetDataSinkBlockEnd(&CQuillonDoc::SerialBlockEnd);
  if (m_nIdleFlushMs > 0) m_device.SetDataSinkIdle(&CQuillonDoc::SerialIdle, m_nIdleFlushMs);
  m_device.SetDataSink(&CQuillonDoc::SerialByteCallback, this);
  return 1;
}

void CQuillonDoc::CloseSerial() {
  if (m_device.IsRunning() != 1) return;
  m_device.Stop(nullptr);
  m_device.ClearDataSink();
  // The reader has been joined: publish whatever its last block left behind,
  // and with the idle flush on send the tail rather than keep it.
  OnSerialBlockEnd();
  if (m_nIdleFlushMs > 0) OnSerialIdle();
}

void CQuillonDoc::SendToDevice(CDeviceBase* device, const std::string& text) {
  if (device == nullptr) return;
  // Not examined: 0 means a stopped or lost port, which the window already
  // shows (the serial button, the status bar's lost port).
  (void)device->WriteText(text);
}

// The byte path's one call per byte: OnSerialByte is inlined into it.
__attribute__((flatten)) int CQuillonDoc::SerialByteCallback(unsigned int byte, void* context) {
  static_cast<CQuillonDoc*>(context)->OnSerialByte(byte);
  return 0;
}

void CQuillonDoc::SerialBlockEnd(void* context) {
  if (context != nullptr) static_cast<CQuillonDoc*>(context)->OnSerialBlockEnd();
}

void CQuillonDoc::SerialIdle(void* context) {
  if (context != nullptr) static_cast<CQuillonDoc*>(context)->OnSerialIdle();
}

// Reader thread, device lock held, once per byte at up to tens of MiB/s: no
// lock and no atomic read-modify-write here. The usual byte (console closed,
// staging buffer not full) takes a straight path that calls nothing but the
// rare frame steps at its end; any other byte takes OnSerialByteWithCalls,
// which runs the same steps in the same order.
void CQuillonDoc::OnSerialByte(unsigned int byte) {
  const bool keepText = m_bKeepDisplayText.load(kRelaxed);
  if (m_bCommandOpen.load(kRelaxed) == 1 || (keepText && m_nReaderDisplayLength == sizeof m_readerDisplay))
      [[unlikely]] {
    OnSerialByteWithCalls(byte);
    return;
  }
  const auto b = static_cast<std::uint8_t>(byte & 0xFFu);
  ++m_nReaderBytes;  // published to m_nBytesReceived and m_nDisplayBytes per block
  if (keepText) m_readerDisplay[m_nReaderDisplayLength++] = DisplayForm(b);
  // Bytes received while forwarding is off are never framed.
  if (m_bForwarding.load(kRelaxed) != 0) FrameByte(b);
}

void CQuillonDoc::OnSerialByteWithCalls(unsigned int byte) {
  const auto b = static_cast<std::uint8_t>(byte & 0xFFu);
  ++m_nReaderBytes;
  // The console sees the byte before anything else is done with it.
  if (m_bCommandOpen.load(kRelaxed) == 1) m_commandDialog.AppendReceivedByte(b);
  if (m_bKeepDisplayText.load(kRelaxed)) {
    if (m_nReaderDisplayLength == sizeof m_readerDisplay) PublishDisplayText();
    m_readerDisplay[m_nReaderDisplayLength++] = DisplayForm(b);
  }
  if (m_bForwarding.load(kRelaxed) != 0) FrameByte(b);
}

inline void CQuillonDoc::FrameByte(std::uint8_t b) {
  std::int32_t fill = m_nFrameFill.load(kRelaxed);
  if (m_bFrameResetRequested.load(kRelaxed) && m_bFrameResetRequested.exchange(false, kRelaxed)) fill = 0;
  if (fill < 0 || fill >= FRAME_BUFFER_SIZE) fill = 0;  // the field is public; never index outside

  m_frame[fill] = b;
  ++fill;
  if (fill == m_nFrameSize.load(kRelaxed)) {
    CompleteFrame(fill);
  } else if (fill == FRAME_BUFFER_SIZE) {
    // Full without matching the frame size (size 0, or lowered below the
    // fill): drop the collected bytes and start again.
    DiscardFrame();
  } else {
    m_nFrameFill.store(fill, kRelaxed);
  }
}

void CQuillonDoc::CompleteFrame(std::int32_t fill) {
  // One batch holds frames of one size: a size changed mid-block sends (or
  // drops) what was batched before the new frame joins.
  if (m_nBatchFrames != 0 && (fill != m_nBatchFrameSize || m_nBatchFrames == FRAME_BATCH_FRAMES ||
                              (m_nBatchFrames + 1) * fill > FRAME_BATCH_BYTES)) {
    SendBatch();
  }
  std::memcpy(m_batch + static_cast<std::size_t>(m_nBatchFrames) * static_cast<std::size_t>(fill), m_frame,
              static_cast<std::size_t>(fill));
  m_nBatchFrameSize = fill;
  ++m_nBatchFrames;
  DiscardFrame();
}

void CQuillonDoc::SendBatch() {
  const std::int32_t frames = m_nBatchFrames;
  const std::int32_t size = m_nBatchFrameSize;
  if (frames == 0) return;
  m_nBatchFrames = 0;
  int sent;
  int error;
  {
    std::lock_guard<std::mutex> net(m_netLock);
    sent = m_udp.SendFrames(m_batch, size, frames, m_strTargetIp.c_str(), m_nTargetPort);
    error = m_udp.GetLastSendError();
  }
  CountSent(frames, sent, error);
}

void CQuillonDoc::CountSent(int frames, int sent, int error) {
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

void CQuillonDoc::SetSendStateListener(SendStateListener fn, void* context) {
  m_pSendStateContext.store(context, std::memory_order_release);
  m_pfnSendState.store(fn, std::memory_order_release);
}

void CQuillonDoc::DiscardFrame() {
  std::memset(m_frame, 0, sizeof m_frame);
  m_nFrameFill.store(0, kRelaxed);
}

void CQuillonDoc::PublishDisplayText() {
  if (m_nReaderDisplayLength == 0) return;
  {
    // Only the last RECEIVED_TEXT_LIMIT bytes wait: the pane would empty
    // itself before showing more, and a flood must not grow this text (nor
    // the UI thread's work per tick) with the line speed.
    std::lock_guard<std::mutex> display(m_displayLock);
    AppendWaitingText(m_strDisplayText, m_readerDisplay, m_nReaderDisplayLength);
  }
  m_nReaderDisplayLength = 0;
}

void CQuillonDoc::OnSerialBlockEnd() {
  SendBatch();  // first: the frames' latency is what the peer sees
  if (m_nReaderBytes != 0) {
    // Read-modify-write, so a reset from the UI thread is never overwritten.
    m_nBytesReceived.fetch_add(m_nReaderBytes, kRelaxed);
    m_nDisplayBytes.fetch_add(m_nReaderBytes, kRelaxed);
    m_nReaderBytes = 0;
  }
  PublishDisplayText();
  m_commandDialog.PublishReceived();
}

void CQuillonDoc::OnSerialIdle() {
  SendBatch();  // whole frames first: a datagram already batched is never split
  if (m_bForwarding.load(kRelaxed) == 0) return;
  if (m_bFrameResetRequested.load(kRelaxed) && m_bFrameResetRequested.exchange(false, kRelaxed)) {
    DiscardFrame();  // the UI reset the frame: nothing of it may leave
    return;
  }
  const std::int32_t fill = m_nFrameFill.load(kRelaxed);
  if (fill <= 0 || fill >= FRAME_BUFFER_SIZE) return;
  int sent;
  int error;
  {
    std::lock_guard<std::mutex> net(m_netLock);
    // Only ever shorter than a frame: with the size lowered below the fill
    // (or never set) the bytes wait for the discard at 1024 as always.
    if (fill >= m_nFrameSize.load(kRelaxed)) return;
    sent = m_udp.SendTo(m_frame, fill, m_strTargetIp.c_str(), m_nTargetPort) == fill ? 1 : 0;
    error = m_udp.GetLastSendError();
  }
  CountSent(1, sent, error);
  DiscardFrame();
}

void CQuillonDoc::SetIdleFlush(int ms) { m_nIdleFlushMs = (ms >= IDLE_FLUSH_MIN_MS && ms <= IDLE_FLUSH_MAX_MS) ? ms : 0; }

int CQuillonDoc::OpenNetPort(CUdpPort& udp, const char* bindAddress) {
  int bound;
  {
    // Held over Create + Bind: a frame goes out either through the old
    // socket or through the new, bound one, never through a descriptor that
    // was just closed (and maybe reused) or not yet bound.
    std::lock_guard<std::mutex> net(m_netLock);
    bound = udp.Create(SOCKET_TYPE_DATAGRAM, bindAddress) == 1 && BindNetPort(udp, bindAddress) == 1;
  }
  if (!bound) {
    AfxMessageBox("网络端口绑定失败，请更换端口号！", udp.GetBindErrorCause());
    return 0;
  }
  return 1;
}

int CQuillonDoc::BindNetPort(CUdpPort& udp, const char* bindAddress) {
  return udp.Bind(m_nLocalPort, bindAddress) == 1 ? 1 : 0;
}

void CQuillonDoc::CloseNetPort() {
  m_bForwarding.store(0, kRelaxed);
  std::lock_guard<std::mutex> net(m_netLock);
  m_udp.Close();
}

bool CQuillonDoc::IsNetPortOpen() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_udp.IsOpen();
}

std::string CQuillonDoc::GetSendErrorCause() const { return DescribeSendError(GetSendError()); }

int CQuillonDoc::SendFrame(CUdpPort& udp) {
  std::lock_guard<std::mutex> net(m_netLock);
  return SendFrameLocked(udp);
}

int CQuillonDoc::SendFrameLocked(CUdpPort& udp) {
  const std::int32_t size = m_nFrameSize.load(kRelaxed);
  // A size beyond the buffer would send memory that is not the frame.
  if (size <= 0 || size > FRAME_BUFFER_SIZE) return 0;
  // One datagram straight from the frame buffer, no copy. Success means the
  // whole frame left; -1 is a failure, not a result "other than 0".
  return udp.SendTo(m_frame, size, m_strTargetIp.c_str(), m_nTargetPort) == size ? 1 : 0;
}

void CQuillonDoc::SetNetworkSettings(std::uint16_t localPort, const std::string& targetIp,
                                     std::uint16_t targetPort, int frameSize) {
  std::lock_guard<std::mutex> net(m_netLock);
  m_nLocalPort = localPort;
  m_strTargetIp = targetIp;
  m_nTargetPort = targetPort;
  m_nFrameSize.store(frameSize, kRelaxed);
}

std::string CQuillonDoc::GetTargetIp() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_strTargetIp;
}

std::uint16_t CQuillonDoc::GetTargetPort() const {
  std::lock_guard<std::mutex> net(m_netLock);
  return m_nTargetPort;
}

std::string CQuillonDoc::TakeDisplayText() {
  std::string taken;
  std::lock_guard<std::mutex> display(m_displayLock);
  taken.swap(m_strDisplayText);
  return taken;
}

void CQuillonDoc::EmptyDisplayText() {
  std::lock_guard<std::mutex> display(m_displayLock);
  m_strDisplayText.clear();
}

void CQuillonDoc::SetKeepDisplayText(bool keep) { m_bKeepDisplayText.store(keep, kRelaxed); }
