// The part of the serial port engine that is the same on every platform:
// Open and Close around the engine's own steps, the hooks' defaults, the
// callbacks, the lost state and Write's argument check.
// The engine itself (opening, the reader, writing, the modem lines) is in the
// platform's folder (device/linux, device/win32).
#include "device/serial_port.h"

#include <cerrno>

#include "device/idle_flush.h"
#include "device/serial_open_request.h"

bool CSerialPort::Open(std::string port, std::string baud, std::string parity,
                       std::string dataBits, std::string stopBits, std::uint32_t eventMask) {
  CLockScope control(m_threadLock);
  if (m_running.load()) return true;
  m_openError = SerialOpenError();
  SerialLineSettings settings;
  std::string path;
  if (!ResolvePort(port, baud, parity, dataBits, stopBits, &settings, &path, &m_openError)) return false;
  return OpenDevice(path, settings, eventMask);
}

void CSerialPort::Close() {
  CLockScope control(m_threadLock);
  if (!m_running.load()) return;
  // Only once the reader is joined and the device closed is the engine
  // reported closed.
  CloseDevice();
  m_lost.store(0);
  m_running.store(0);
}

void CSerialPort::OnReceiveByte(unsigned int byte) {
  const ReceiveCallback fn = m_pfnReceive.load(std::memory_order_acquire);
  if (fn != nullptr) fn(byte, m_pReceiveContext.load(std::memory_order_acquire));
}

void CSerialPort::OnCTS(int state) {}
void CSerialPort::OnDSR(int state) {}
void CSerialPort::OnRING(int state) {}
void CSerialPort::OnRLSD(int state) {}

void CSerialPort::OnReceiveBlock(const std::uint8_t* data, std::size_t length) {
  const ReceiveBlockCallback block = m_pfnReceiveBlock.load(std::memory_order_acquire);
  if (block != nullptr) {
    block(data, length, m_pReceiveContext.load(std::memory_order_acquire));
    return;
  }
  for (std::size_t i = 0; i < length; ++i) OnReceiveByte(data[i]);
}

void CSerialPort::OnReceiveIdle() {
  const IdleCallback fn = m_pfnIdle.load(std::memory_order_acquire);
  if (fn != nullptr) fn(m_pReceiveContext.load(std::memory_order_acquire));
}

void CSerialPort::SetIdleCallback(IdleCallback fn, int idleMs) {
  const bool on = fn != nullptr && idleMs >= IDLE_FLUSH_MIN_MS && idleMs <= IDLE_FLUSH_MAX_MS;
  m_pfnIdle.store(on ? fn : nullptr, std::memory_order_release);
  m_nIdleMs.store(on ? idleMs : 0, std::memory_order_release);
}

bool CSerialPort::IsOpen() const { return m_running.load() != 0; }

bool CSerialPort::IsLost() const { return m_lost.load() != 0; }

int CSerialPort::GetLostState() const { return m_lost.load(); }

SerialOpenError CSerialPort::GetOpenError() const { return m_openError; }

void CSerialPort::SetPortStateCallback(PortStateCallback fn, void* context) {
  m_pStateContext.store(context, std::memory_order_release);
  m_pfnState.store(fn, std::memory_order_release);
}

void CSerialPort::ReportState(int lost) {
  const PortStateCallback fn = m_pfnState.load(std::memory_order_acquire);
  if (fn != nullptr) fn(lost, m_pStateContext.load(std::memory_order_acquire));
}

void CSerialPort::SetReceiveCallback(ReceiveCallback fn, void* context,
                                     ReceiveBlockCallback blockFn) {
  m_pReceiveContext.store(context, std::memory_order_release);
  m_pfnReceiveBlock.store(blockFn, std::memory_order_release);
  m_pfnReceive.store(fn, std::memory_order_release);
}

std::uint32_t CSerialPort::GetReaderWakeups() const { return m_nReaderWakeups.load(); }

SysError CSerialPort::Write(const void* data, int length) {
  if (length < 0 || (length > 0 && data == nullptr)) return SysError{SysStep::kWrite, EINVAL};
  return WriteAll(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length));
}

SysError CSerialPort::Write(const std::vector<std::uint8_t>& bytes) {
  return WriteAll(bytes.data(), bytes.size());
}
