// The Win32 serial engine: CSerialPort's open and close, writing, the modem
// lines and the driver's error bits, over a port handle opened for
// overlapped I/O and manual-reset events. Opening's steps are in
// serial_open_win32.cpp, the reader in serial_reader_win32.cpp.
#include <algorithm>
#include <cerrno>
#include <system_error>

#include "device/port_list.h"
#include "platform/text.h"
#include "platform/win32/win32_error.h"
#include "serial_open_win32.h"
#include "serial_port_impl.h"

namespace {

// A write may take the time its bytes need on the line (12 bits a byte at
// most: start, 8 data, parity, 2 stop) and this much more before it gives up:
// a driver that takes nothing must not freeze the thread that writes.
constexpr DWORD kWriteMarginMs = 2000;

DWORD LineTimeMs(DWORD length, std::uint32_t baud) {
  const unsigned long long bits = static_cast<unsigned long long>(length) * 12 * 1000;
  const unsigned long long ms = (bits + baud - 1) / std::max<std::uint32_t>(baud, 1);
  return static_cast<DWORD>(std::min<unsigned long long>(ms, 0x7FFFFFFF - kWriteMarginMs));
}

HANDLE MakeEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

void CloseEvent(HANDLE* event) {
  if (*event != nullptr) CloseHandle(*event);
  *event = nullptr;
}

}  // namespace

CSerialPort::CSerialPort() : m_pImpl(std::make_unique<Impl>(*this)) {}

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::OpenDevice(const std::string& name, const SerialLineSettings& settings,
                             std::uint32_t eventMask) {
  const std::string path = AsciiUpper(name);
  if (!m_pImpl->MakeEvents(ComPortName(path), &m_openError)) return false;
  HANDLE handle = OpenComPort(path, settings, eventMask, &m_openError);
  if (handle == INVALID_HANDLE_VALUE) return false;
  m_pImpl->Remember(path, settings, eventMask);
  return m_pImpl->StartReader(handle, &m_openError);
}

void CSerialPort::CloseDevice() {
  // Wake the reader and any writer (the stop event stays set), join the
  // reader, and close the port once no writer uses it (which also ends any
  // request the reader could not take back).
  m_pImpl->StopReader();
  m_pImpl->ClosePort();
}

SysError CSerialPort::WriteAll(const std::uint8_t* data, std::size_t length) {
  Impl& impl = *m_pImpl;
  CLockScope lock(impl.m_writeLock);
  if (!m_running.load()) return MakeSysError(SysStep::kWrite, EBADF);
  // No handle while the port is lost: the reader closed the one that failed.
  HANDLE port = impl.GetPort();
  if (port == nullptr) return MakeSysError(SysStep::kWrite, EIO);

  std::size_t done = 0;
  while (done < length) {
    // With no time-outs a request ends when the driver has taken every byte.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length - done, 1u << 20));
    impl.m_writeRequest = OVERLAPPED{};
    impl.m_writeRequest.hEvent = impl.m_hWriteEvent;
    ResetEvent(impl.m_hWriteEvent);
    DWORD written = 0;
    if (!WriteFile(port, data + done, chunk, &written, &impl.m_writeRequest)) {
      const DWORD code = GetLastError();
      if (code != ERROR_IO_PENDING) return Win32SysError(SysStep::kWrite, code);
      const SysError waited = impl.AwaitWrite(port, chunk, &written);
      if (waited.Failed()) return waited;
    }
    if (written == 0) return MakeSysError(SysStep::kWrite, EIO);
    done += written;
  }
  return SysError();
}

bool CSerialPort::SetRTS(int state) { return m_pImpl->SetLine(state == 1 ? SETRTS : CLRRTS); }
bool CSerialPort::SetDTR(int state) { return m_pImpl->SetLine(state == 1 ? SETDTR : CLRDTR); }
bool CSerialPort::GetCTS(int* state) { return m_pImpl->GetLine(MS_CTS_ON, state); }
bool CSerialPort::GetDSR(int* state) { return m_pImpl->GetLine(MS_DSR_ON, state); }
bool CSerialPort::GetRLSD(int* state) { return m_pImpl->GetLine(MS_RLSD_ON, state); }
bool CSerialPort::GetRING(int* state) { return m_pImpl->GetLine(MS_RING_ON, state); }

bool CSerialPort::GetErrorCounts(SerialErrorCounts* counts) {
  Impl& impl = *m_pImpl;
  {
    // Errors that came while the port was quiet are read here; the reader
    // reads the rest as it drains.
    CLockScope lock(impl.m_handleLock);
    COMSTAT status{};
    if (impl.m_hPort != nullptr) impl.ClearErrors(impl.m_hPort, &status);
  }
  if (!impl.m_bErrorCounters.load() || counts == nullptr) return false;
  counts->overrun = impl.m_nOverruns.load();
  counts->bufferOverrun = impl.m_nQueueOverruns.load();
  counts->parity = impl.m_nParityErrors.load();
  counts->frame = impl.m_nFrameErrors.load();
  return true;
}

// Windows gives a device no owner and group to advise on.
bool ReadDeviceAccess(const std::string& path, DeviceAccess* access) { return false; }

// ---- CSerialPort::Impl: the handles ---------------------------------------

CSerialPort::Impl::~Impl() {
  CloseEvent(&m_hStopEvent);
  CloseEvent(&m_hWaitEvent);
  CloseEvent(&m_hReadEvent);
  CloseEvent(&m_hWriteEvent);
}

bool CSerialPort::Impl::MakeEvents(const std::string& name, SerialOpenError* error) {
  HANDLE* events[] = {&m_hStopEvent, &m_hWaitEvent, &m_hReadEvent, &m_hWriteEvent};
  for (HANDLE* event : events) {
    if (*event == nullptr) *event = MakeEvent();
    if (*event == nullptr) {
      *error = SerialOpenError{SerialOpenStep::kReader, ErrnoFromWin32(GetLastError()), name};
      return false;
    }
  }
  ResetEvent(m_hStopEvent);
  return true;
}

void CSerialPort::Impl::Remember(const std::string& path, const SerialLineSettings& settings,
                                 std::uint32_t eventMask) {
  m_strDevicePath = path;
  m_strName = ComPortName(path);
  m_settings = settings;
  m_eventMask = eventMask;
  m_reopenRule = ReopenRuleFor(path);
  m_strIdentity = m_reopenRule == SerialReopenRule::kSameDevice ? SerialDeviceIdentity(path) : std::string();
}

bool CSerialPort::Impl::StartReader(HANDLE port, SerialOpenError* error) {
  m_port.m_lost.store(0);
  m_nOverruns.store(0);
  m_nQueueOverruns.store(0);
  m_nParityErrors.store(0);
  m_nFrameErrors.store(0);
  m_bErrorCounters.store(false);
  {
    CLockScope write(m_writeLock);
    SetPort(port);
  }
  m_bReaderStarted = false;
  try {
    m_readerThread = std::thread(&Impl::ReaderMain, this, port);
  } catch (const std::system_error& e) {
    *error = SerialOpenError{SerialOpenStep::kReader, e.code().value(), m_strName};
    ClosePort();
    return false;
  }
  DWORD failed = NO_ERROR;
  {
    std::unique_lock<std::mutex> lock(m_startMutex);
    m_startCv.wait(lock, [this] { return m_bReaderStarted; });
    failed = m_dwStartError;
  }
  if (failed == NO_ERROR) return true;
  m_readerThread.join();
  ClosePort();
  // A port that cannot wait for its events is no serial port to this engine.
  const bool noEvents = failed == ERROR_NOT_SUPPORTED || failed == ERROR_INVALID_FUNCTION;
  *error = SerialOpenError{SerialOpenStep::kSettings, noEvents ? ENOTTY : ComErrno(SerialOpenStep::kSettings, failed),
                           m_strName};
  return false;
}

void CSerialPort::Impl::StopReader() {
  SetEvent(m_hStopEvent);
  if (m_readerThread.joinable()) m_readerThread.join();
}

HANDLE CSerialPort::Impl::GetPort() {
  CLockScope lock(m_handleLock);
  return m_hPort;
}

void CSerialPort::Impl::SetPort(HANDLE port) {
  CLockScope lock(m_handleLock);
  m_hPort = port;
}

void CSerialPort::Impl::ClosePort() {
  CLockScope write(m_writeLock);
  HANDLE port = GetPort();
  SetPort(nullptr);
  if (port != nullptr) CloseHandle(port);
}

void CSerialPort::Impl::CountCommErrors(DWORD errors) {
  if (errors & CE_OVERRUN) m_nOverruns.fetch_add(1);
  if (errors & CE_RXOVER) m_nQueueOverruns.fetch_add(1);
  if (errors & CE_RXPARITY) m_nParityErrors.fetch_add(1);
  if (errors & CE_FRAME) m_nFrameErrors.fetch_add(1);
}

bool CSerialPort::Impl::ClearErrors(HANDLE port, COMSTAT* status) {
  DWORD errors = 0;
  if (!ClearCommError(port, &errors, status)) return false;
  m_bErrorCounters.store(true);
  if (errors != 0) CountCommErrors(errors);
  return true;
}

bool CSerialPort::Impl::SetLine(DWORD escape) {
  if (!m_port.m_running.load()) return false;
  CLockScope lock(m_handleLock);
  if (m_hPort == nullptr) return false;
  EscapeCommFunction(m_hPort, escape);
  return true;
}

bool CSerialPort::Impl::GetLine(DWORD bit, int* state) {
  if (state == nullptr || !m_port.m_running.load()) return false;
  CLockScope lock(m_handleLock);
  if (m_hPort == nullptr) return false;
  DWORD lines = 0;
  if (!GetCommModemStatus(m_hPort, &lines)) return false;
  *state = (lines & bit) ? 1 : 0;
  return true;
}

SysError CSerialPort::Impl::AwaitWrite(HANDLE port, DWORD length, DWORD* written) {
  HANDLE events[2] = {m_hWriteEvent, m_hStopEvent};
  const DWORD woke = WaitForMultipleObjects(2, events, FALSE, LineTimeMs(length, m_settings.nBaud) + kWriteMarginMs);
  if (woke == WAIT_OBJECT_0) {
    if (GetOverlappedResult(port, &m_writeRequest, written, FALSE)) return SysError();
    return Win32SysError(SysStep::kWrite, GetLastError());  // the port failed or went
  }
  const DWORD code = GetLastError();
  Retire(port, &m_writeRequest);
  if (woke == WAIT_OBJECT_0 + 1) return MakeSysError(SysStep::kWrite, ECANCELED);  // Close
  if (woke == WAIT_TIMEOUT) return MakeSysError(SysStep::kWrite, ETIMEDOUT);
  return Win32SysError(SysStep::kWrite, code);
}

void CSerialPort::Impl::Retire(HANDLE port, OVERLAPPED* request) {
  if (HasOverlappedIoCompleted(request)) return;
  CancelIoEx(port, request);
  if (WaitForSingleObject(request->hEvent, 1000) == WAIT_OBJECT_0) {
    DWORD ignored = 0;
    GetOverlappedResult(port, request, &ignored, FALSE);
  }
}
