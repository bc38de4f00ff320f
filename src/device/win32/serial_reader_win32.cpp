// The Win32 serial engine's reader thread: the port's event loop
// (WaitCommEvent on an overlapped request, waited for together with the stop
// event), the input queue read one byte per request and delivered in
// blocks, the modem line hooks, and after a failure (an adapter pulled out)
// the wait until the port's name opens again.
//
// Everything here runs on the reader thread.
#include <cerrno>

#include "serial_open_win32.h"
#include "serial_port_impl.h"

namespace {

// While the port is lost, its device path is tried this often. Windows tells
// a windowless program of a returning adapter only through a device
// notification, so the reader asks; an open of a missing port fails at once.
constexpr DWORD kReopenSpacingMs = 1000;

// A block read one byte per request is handed on when it is full or has
// been growing this long: a queue that keeps filling as fast as it is read
// must not hold back frames that are already whole.
constexpr DWORD kBlockHoldMs = 50;

}  // namespace

void CSerialPort::Impl::ReaderMain(HANDLE port) {
  // The first wait is out before Open returns: a device that takes no event
  // waits (a pseudo-terminal under Wine, a port driver without them) fails
  // the open with its cause instead of failing every wait afterwards.
  const DWORD first = IssueWait(port);
  const bool started = first == NO_ERROR || first == ERROR_IO_PENDING;
  {
    std::lock_guard<std::mutex> lock(m_startMutex);
    m_dwStartError = started ? NO_ERROR : first;
    m_bReaderStarted = true;
    if (started) m_port.m_running.store(1);
  }
  m_startCv.notify_all();
  if (!started) return;
  // The port handle is this thread's to close and replace after a failure;
  // Close closes the last one after joining this thread.
  bool reopened = false;
  DWORD issued = first;
  while (!ServePort(port, reopened, issued)) {
    port = AwaitReopen(port);
    if (port == nullptr) return;
    reopened = true;
    issued = kNoWait;
  }
}

DWORD CSerialPort::Impl::IssueWait(HANDLE port) {
  m_waitRequest = OVERLAPPED{};
  m_waitRequest.hEvent = m_hWaitEvent;
  m_dwWaitMask = 0;
  ResetEvent(m_hWaitEvent);
  if (WaitCommEvent(port, &m_dwWaitMask, &m_waitRequest)) return NO_ERROR;
  return GetLastError();
}

bool CSerialPort::Impl::ServePort(HANDLE port, bool idleArmed, DWORD issued) {
  HANDLE events[2] = {m_hStopEvent, m_hWaitEvent};
  for (;;) {
    if (issued == kNoWait) issued = IssueWait(port);
    bool waiting = false;  // the request is out
    if (issued == NO_ERROR) {
      // Done at once: serve the port if bytes wait, otherwise ask again.
      issued = kNoWait;
      COMSTAT status{};
      if (!ClearErrors(port, &status)) return false;
      if (status.cbInQue == 0) continue;
    } else if (issued == ERROR_IO_PENDING) {
      waiting = true;
    } else {
      // A removed adapter fails every request (ERROR_ACCESS_DENIED,
      // ERROR_OPERATION_ABORTED or ERROR_BAD_COMMAND, depending on its
      // driver); a port that fails a wait is of no more use either way.
      return false;
    }

    if (waiting) {
      const int idleMs = idleArmed ? m_port.m_nIdleMs.load(std::memory_order_acquire) : 0;
      const DWORD woke = WaitForMultipleObjects(2, events, FALSE, idleMs > 0 ? static_cast<DWORD>(idleMs) : INFINITE);
      m_port.m_nReaderWakeups.fetch_add(1, std::memory_order_relaxed);
      if (woke == WAIT_TIMEOUT) {  // the idle time-out ran out; the request stays out
        idleArmed = false;
        m_port.OnReceiveIdle();
        continue;
      }
      if (woke != WAIT_OBJECT_0 + 1) {
        RetireWait(port);
        // Close, or the wait itself failed: then only Close can end this
        // thread, so wait for it alone rather than spin.
        if (woke != WAIT_OBJECT_0) WaitForSingleObject(m_hStopEvent, INFINITE);
        return true;
      }
      issued = kNoWait;
      DWORD ignored = 0;
      if (!GetOverlappedResult(port, &m_waitRequest, &ignored, FALSE)) return false;
    }

    // Every kind in the configured mask is served on every wake, whatever
    // the wait reported.
    DWORD mask = 0;
    if (!GetCommMask(port, &mask)) return false;
    if ((mask & EV_RXCHAR) && !Drain(port, &idleArmed)) {
      // The tail that the idle hook would have sent leaves before the loss
      // is reported, not after an outage of unknown length.
      if (idleArmed && m_port.m_nIdleMs.load(std::memory_order_acquire) > 0) m_port.OnReceiveIdle();
      return WaitForSingleObject(m_hStopEvent, 0) == WAIT_OBJECT_0;
    }
    RunLineHooks(port, mask);
    if (WaitForSingleObject(m_hStopEvent, 0) == WAIT_OBJECT_0) return true;
  }
}

void CSerialPort::Impl::RetireWait(HANDLE port) {
  if (HasOverlappedIoCompleted(&m_waitRequest)) return;
  SetCommMask(port, 0);
  Retire(port, &m_waitRequest);
}

int CSerialPort::Impl::ReadOneByte(HANDLE port, std::uint8_t* byte) {
  m_readRequest = OVERLAPPED{};
  m_readRequest.hEvent = m_hReadEvent;
  ResetEvent(m_hReadEvent);
  DWORD got = 0;
  if (!ReadFile(port, &m_readByte, 1, &got, &m_readRequest)) {
    if (GetLastError() != ERROR_IO_PENDING) return -1;
    // With no time-outs the request waits for its byte; the queue said one
    // is there, but a port that fails meanwhile must not hold Close.
    HANDLE events[2] = {m_hReadEvent, m_hStopEvent};
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0) {
      Retire(port, &m_readRequest);
      return woke == WAIT_OBJECT_0 + 1 ? -2 : -1;
    }
    if (!GetOverlappedResult(port, &m_readRequest, &got, FALSE)) return -1;
  }
  if (got != 1) return 0;
  *byte = m_readByte;
  return 1;
}

bool CSerialPort::Impl::Drain(HANDLE port, bool* idleArmed) {
  std::uint8_t block[SERIAL_READ_BLOCK];
  std::size_t length = 0;
  DWORD blockStart = 0;
  const auto deliver = [&] {
    m_port.OnReceiveBlock(block, length);
    length = 0;
    *idleArmed = true;
  };
  bool failed = false;
  COMSTAT status{};
  if (!ClearErrors(port, &status)) return false;
  while (status.cbInQue != 0) {
    const int read = ReadOneByte(port, &block[length]);
    if (read < 0) {
      failed = read == -1;
      break;  // on Close the bytes read so far are still delivered
    }
    // A byte the driver announced but did not give is simply not there.
    if (read == 1 && length++ == 0) blockStart = GetTickCount();
    if (length == sizeof block || (length > 0 && GetTickCount() - blockStart >= kBlockHoldMs)) deliver();
    status = COMSTAT{};
    if (!ClearErrors(port, &status)) {
      failed = true;
      break;
    }
  }
  if (length > 0) deliver();
  return !failed;
}

void CSerialPort::Impl::RunLineHooks(HANDLE port, std::uint32_t mask) {
  if ((mask & (EV_CTS | EV_DSR | EV_RING | EV_RLSD)) == 0) return;
  DWORD lines = 0;
  if (!GetCommModemStatus(port, &lines)) return;
  if (mask & EV_CTS) m_port.OnCTS((lines & MS_CTS_ON) ? 1 : 0);
  if (mask & EV_DSR) m_port.OnDSR((lines & MS_DSR_ON) ? 1 : 0);
  if (mask & EV_RING) m_port.OnRING((lines & MS_RING_ON) ? 1 : 0);
  if (mask & EV_RLSD) m_port.OnRLSD((lines & MS_RLSD_ON) ? 1 : 0);
}

void CSerialPort::Impl::SetLost(int state) {
  m_port.m_lost.store(state);
  m_port.ReportState(state);
}

bool CSerialPort::Impl::IsSameDeviceBack(bool* reported) {
  if (m_reopenRule != SerialReopenRule::kSameDevice || m_strIdentity.empty()) return true;
  const std::string now = SerialDeviceIdentity(m_strDevicePath);
  if (now == m_strIdentity) {
    *reported = false;
    return true;
  }
  if (!now.empty() && !*reported) {
    *reported = true;
    SetLost(SERIAL_PORT_OTHER_DEVICE);
  }
  if (now.empty() && *reported) {
    *reported = false;  // gone again: a later appearance is news
    m_port.m_lost.store(SERIAL_PORT_LOST);
  }
  return false;
}

HANDLE CSerialPort::Impl::AwaitReopen(HANDLE lost) {
  {
    // No writer is using the handle once the lock is ours; later writers
    // find none and fail at once.
    CLockScope write(m_writeLock);
    RetireWait(lost);
    SetPort(nullptr);
    CloseHandle(lost);
  }
  if (m_reopenRule == SerialReopenRule::kNever) {
    SetLost(SERIAL_PORT_GONE);
    WaitForSingleObject(m_hStopEvent, INFINITE);  // nothing to wait for but Close
    return nullptr;
  }
  SetLost(SERIAL_PORT_LOST);

  bool otherReported = false;
  for (;;) {
    const DWORD woke = WaitForSingleObject(m_hStopEvent, kReopenSpacingMs);
    m_port.m_nReaderWakeups.fetch_add(1, std::memory_order_relaxed);
    if (woke == WAIT_OBJECT_0) return nullptr;
    if (woke != WAIT_TIMEOUT) {  // cannot wait: wait for Close alone
      WaitForSingleObject(m_hStopEvent, INFINITE);
      return nullptr;
    }
    if (!IsSameDeviceBack(&otherReported)) continue;
    SerialOpenError failure;
    HANDLE port = OpenComPort(m_strDevicePath, m_settings, m_eventMask, &failure);
    if (port == INVALID_HANDLE_VALUE) continue;
    {
      CLockScope write(m_writeLock);
      SetPort(port);
    }
    SetLost(SERIAL_PORT_BACK);
    return port;
  }
}
