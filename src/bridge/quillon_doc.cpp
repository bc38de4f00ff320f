#include "bridge/quillon_doc.h"

#include "platform/config_dir.h"
#include "platform/message_box.h"
#include "device/idle_flush.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

const char kBindFailedMessage[] = "网络端口绑定失败，请更换端口号！";

}  // namespace

CQuillonDoc::CQuillonDoc() {
  m_strExeDir = ExecutableDir();
  m_strConfigDir = ConfigDir();
  CreateDirectoryOneLevel(m_strConfigDir);  // an existing folder is fine; a failure is ignored
  // Linked here already: a document opened from a file skips OnNewDocument,
  // and a console without its device and document would send nowhere.
  m_commandDialog.Link(this, &m_device);
}

CQuillonDoc::~CQuillonDoc() {
  // No byte may reach the document once its members start to go: ClearDataSink
  // returns only when no sink call runs, Stop joins the reader.
  m_device.ClearDataSink();
  m_device.Stop(nullptr);
}

int CQuillonDoc::OnNewDocument() {
  if (!CDocument::OnNewDocument()) return 0;
  m_commandDialog.Link(this, &m_device);
  m_bForwarding.store(0, kRelaxed);
  m_bCommandOpen.store(0, kRelaxed);
  // The reader owns the fill count while a port is open; it applies the reset
  // at its next framed byte, so a byte arriving now cannot undo it.
  m_frameBatcher.RequestReset();
  m_netPort.SetFrameSize(0);
  m_nBytesReceived.store(0, kRelaxed);
  m_netPort.ResetCounts();
  EmptyDisplayText();
  return 1;
}

// ------------------------------------------------------------ serial port

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

void CQuillonDoc::StopDevice() {
  if (m_device.IsRunning() == 1) m_device.Stop(nullptr);
}

void CQuillonDoc::SendToDevice(CDeviceBase* device, const std::string& text) {
  if (device == nullptr) return;
  // Not examined: 0 means a stopped or lost port, which the window already
  // shows (the serial button, the status bar's lost port).
  (void)device->WriteText(text);
}

bool CQuillonDoc::IsSerialOpen() { return m_device.IsRunning() == 1; }

bool CQuillonDoc::IsPortLost() { return m_device.IsPortLost() == 1; }

int CQuillonDoc::GetPortLostState() { return m_device.GetPortLostState(); }

int CQuillonDoc::GetDriverErrorCounts(SerialErrorCounts* counts) { return m_device.GetDriverErrorCounts(counts); }

SerialOpenError CQuillonDoc::GetOpenError() { return m_device.GetOpenError(); }

std::string CQuillonDoc::GetOpenErrorCause() { return m_device.GetOpenErrorCause(); }

CParameters CQuillonDoc::GetSerialSettings() {
  return SerialStartParameters(m_device.GetPort(), m_device.GetBaud(), m_device.GetParity(), m_device.GetDataBit(),
                               m_device.GetStopBit());
}

void CQuillonDoc::SetPortStateListener(PortStateCallback fn, void* context) {
  m_device.SetPortStateListener(fn, context);
}

// -------------------------------------------------------------- byte sink

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
  const bool keepText = m_displayText.IsKept();
  if (m_bCommandOpen.load(kRelaxed) == 1 || (keepText && m_displayText.IsStagingFull())) [[unlikely]] {
    OnSerialByteWithCalls(byte);
    return;
  }
  const auto b = static_cast<std::uint8_t>(byte & 0xFFu);
  ++m_nReaderBytes;  // published to the byte counts per block
  if (keepText) m_displayText.StageWithRoom(b);
  // Bytes received while forwarding is off are never framed.
  if (m_bForwarding.load(kRelaxed) != 0) m_frameBatcher.Byte(b, m_netPort);
}

void CQuillonDoc::OnSerialByteWithCalls(unsigned int byte) {
  const auto b = static_cast<std::uint8_t>(byte & 0xFFu);
  ++m_nReaderBytes;
  // The console sees the byte before anything else is done with it.
  if (m_bCommandOpen.load(kRelaxed) == 1) m_commandDialog.AppendReceivedByte(b);
  if (m_displayText.IsKept()) m_displayText.Stage(b);
  if (m_bForwarding.load(kRelaxed) != 0) m_frameBatcher.Byte(b, m_netPort);
}

void CQuillonDoc::OnSerialBlockEnd() {
  m_frameBatcher.SendBatch(m_netPort);  // first: the frames' latency is what the peer sees
  if (m_nReaderBytes != 0) {
    // Read-modify-write, so a reset from the UI thread is never overwritten.
    m_nBytesReceived.fetch_add(m_nReaderBytes, kRelaxed);
    m_displayText.AddDisplayBytes(m_nReaderBytes);
    m_nReaderBytes = 0;
  }
  m_displayText.Publish();
  m_commandDialog.PublishReceived();
}

void CQuillonDoc::OnSerialIdle() {
  m_frameBatcher.SendBatch(m_netPort);  // whole frames first: a datagram already batched is never split
  if (m_bForwarding.load(kRelaxed) == 0) return;
  m_frameBatcher.FlushPartial(m_netPort);
}

void CQuillonDoc::SetIdleFlush(int ms) {
  m_nIdleFlushMs = (ms >= IDLE_FLUSH_MIN_MS && ms <= IDLE_FLUSH_MAX_MS) ? ms : 0;
}

// ------------------------------------------------- forwarding and console

void CQuillonDoc::StartForwarding() { m_bForwarding.store(1, kRelaxed); }

void CQuillonDoc::StopForwarding() { m_bForwarding.store(0, kRelaxed); }

void CQuillonDoc::SetCommandOpen(bool open) { m_bCommandOpen.store(open ? 1 : 0, kRelaxed); }

// ----------------------------------------------------------- network port

int CQuillonDoc::OpenNetPort(CUdpPort& udp, const char* bindAddress) {
  // The lock is let go before the box: a modal loop never runs under it.
  const SysError failure = m_netPort.Open(udp, bindAddress);
  if (failure.Failed()) {
    AfxMessageBox(kBindFailedMessage, udp.GetBindErrorCause());
    return 0;
  }
  return 1;
}

int CQuillonDoc::OpenNetPort(const char* bindAddress) { return OpenNetPort(m_netPort.GetUdp(), bindAddress); }

int CQuillonDoc::BindNetPort(CUdpPort& udp, const char* bindAddress) { return m_netPort.Bind(udp, bindAddress); }

void CQuillonDoc::CloseNetPort() {
  m_bForwarding.store(0, kRelaxed);
  m_netPort.Close();
}

bool CQuillonDoc::IsNetPortOpen() const { return m_netPort.IsOpen(); }

int CQuillonDoc::SendFrame(CUdpPort& udp) { return m_netPort.SendFrame(udp, m_frameBatcher.GetFrame()); }

int CQuillonDoc::SendFrame() { return SendFrame(m_netPort.GetUdp()); }

void CQuillonDoc::SetNetworkSettings(std::uint16_t localPort, const std::string& targetIp,
                                     std::uint16_t targetPort, int frameSize) {
  m_netPort.SetSettings(localPort, targetIp, targetPort, frameSize);
}

std::string CQuillonDoc::GetSendErrorCause() const { return DescribeSendError(GetSendError()); }
