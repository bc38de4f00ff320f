// The Linux serial engine's reader thread: it waits on the port and the stop
// descriptor together, delivers what it reads, runs the line and idle hooks,
// and after a hang-up waits for the port to come back (port_watch.h) and
// reopens it. Everything here runs on the reader thread.
#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "port_watch.h"
#include "serial_open.h"
#include "serial_port_impl.h"

namespace {

// poll itself failed: wait for Close in a blocking read of the stop
// descriptor rather than spinning.
void AwaitStopByReading(int stop) {
  std::uint64_t value = 0;
  while (read(stop, &value, sizeof(value)) < 0 && errno == EINTR) {
  }
}

// Nothing to wait for but Close.
void AwaitStop(int stop) {
  pollfd fd = {stop, POLLIN, 0};
  while (poll(&fd, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace

void CSerialPort::Impl::ReaderMain(int port, int stop) {
  // The stop descriptor stays open until Close has joined this thread; the
  // port descriptor is this thread's to close and replace after a hang-up.
  {
    std::lock_guard<std::mutex> lock(m_startMutex);
    m_port.m_running.store(1);
  }
  m_startCv.notify_all();
  bool reopened = false;
  while (!ServePort(port, stop, reopened)) {
    port = AwaitReopen(port, stop);
    if (port < 0) return;
    reopened = true;
  }
}

bool CSerialPort::Impl::ServePort(int port, int stop, bool idleArmed) {
  pollfd fds[2] = {{stop, POLLIN, 0},
                   {port, static_cast<short>((m_eventMask & EV_RXCHAR) ? POLLIN : 0), 0}};
  bool linesReadable = (m_eventMask & (EV_CTS | EV_DSR | EV_RING | EV_RLSD)) != 0;

  // idleArmed is set by a block and cleared when the idle time-out has run
  // once: a quiet port costs one wake-up, not one per time-out.
  for (;;) {
    const int idleMs = idleArmed ? m_port.m_nIdleMs.load(std::memory_order_acquire) : 0;
    const int n = poll(fds, 2, idleMs > 0 ? idleMs : -1);
    m_port.m_nReaderWakeups.fetch_add(1, std::memory_order_relaxed);
    if (n == 0) {  // the idle time-out ran out
      idleArmed = false;
      m_port.OnReceiveIdle();
      continue;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      AwaitStopByReading(stop);
      return true;
    }
    if (fds[0].revents != 0) return true;  // stop signalled
    if (fds[1].revents == 0) continue;
    if (!ReadAvailable(port, fds[1].revents, &idleArmed)) {
      // The tail that the idle hook would have sent leaves before the loss is
      // reported, not after an outage of unknown length.
      if (idleArmed && m_port.m_nIdleMs.load(std::memory_order_acquire) > 0) m_port.OnReceiveIdle();
      return false;
    }
    if (linesReadable) RunLineHooks(port, &linesReadable);
  }
}

bool CSerialPort::Impl::ReadAvailable(int port, short revents, bool* idleArmed) {
  std::uint8_t buffer[SERIAL_READ_BLOCK];
  bool gotData = false;
  bool broken = (revents & (POLLERR | POLLNVAL)) != 0;
  if (revents & POLLIN) {
    const ssize_t got = read(port, buffer, sizeof(buffer));
    if (got > 0) {
      gotData = true;
      m_port.OnReceiveBlock(buffer, static_cast<std::size_t>(got));
      *idleArmed = true;
    } else if (got == 0) {
      broken = true;  // end of file: the line hung up
    } else if (errno != EAGAIN && errno != EINTR) {
      broken = true;  // EIO: the adapter is gone or the other side closed
    }
  }
  // A hang-up with nothing left to read would wake poll at once forever.
  if ((revents & POLLHUP) && !gotData) broken = true;
  return !broken;
}

void CSerialPort::Impl::RunLineHooks(int port, bool* linesReadable) {
  int bits = 0;
  if (ioctl(port, TIOCMGET, &bits) != 0) {
    // A driver without modem lines (a pseudo-terminal) never will have them.
    if (errno == ENOTTY || errno == EINVAL) *linesReadable = false;
    return;
  }
  if (m_eventMask & EV_CTS) m_port.OnCTS((bits & TIOCM_CTS) ? 1 : 0);
  if (m_eventMask & EV_DSR) m_port.OnDSR((bits & TIOCM_DSR) ? 1 : 0);
  if (m_eventMask & EV_RING) m_port.OnRING((bits & TIOCM_RNG) ? 1 : 0);
  if (m_eventMask & EV_RLSD) m_port.OnRLSD((bits & TIOCM_CAR) ? 1 : 0);
}

// ---- after a hang-up ------------------------------------------------------

int CSerialPort::Impl::AwaitReopen(int lost, int stop) {
  DropLostPort(lost);
  if (m_reopenRule == SerialReopenRule::kNever) {
    SetLost(SERIAL_PORT_GONE);
    m_port.ReportState(SERIAL_PORT_GONE);
    AwaitStop(stop);
    return -1;
  }
  CPortWatch watch(m_strPath);  // before the report: no change after it is missed
  SetLost(SERIAL_PORT_LOST);
  m_port.ReportState(SERIAL_PORT_LOST);
  bool otherReported = false;
  while (watch.WaitForTry(stop, &m_port.m_nReaderWakeups)) {
    watch.Tried();
    // A link that still names the pseudo-terminal that hung up names a
    // number the kernel may have given another program since.
    if (!m_strPtyLink.empty() && PtyLinkState(m_strPath) == m_strPtyLink) continue;
    if (!IsSameDeviceBack(&otherReported)) continue;
    SerialOpenError failure;
    const int port = TryReopen(&failure);
    if (port >= 0) {
      m_strPtyLink = PtyLinkState(m_strPath);
      SetLost(0);
      m_port.ReportState(SERIAL_PORT_BACK);
      return port;
    }
    watch.TryFailed(failure.code);
  }
  return -1;
}

void CSerialPort::Impl::DropLostPort(int lost) {
  // No writer is using the descriptor once the lock is ours; later writers
  // find none and fail at once.
  CLockScope write(m_writeLock);
  SetPort(-1);
  CloseQuietly(lost);
}

int CSerialPort::Impl::TryReopen(SerialOpenError* error) {
  const int fd = OpenConfigured(m_strPath, m_settings, error);
  if (fd < 0) return -1;
  CLockScope write(m_writeLock);
  SetPort(fd);
  return fd;
}

bool CSerialPort::Impl::IsSameDeviceBack(bool* reported) {
  if (m_reopenRule != SerialReopenRule::kSameDevice || m_strIdentity.empty()) return true;
  const std::string now = SerialDeviceIdentity(m_strPath);
  if (now == m_strIdentity) {
    *reported = false;
    return true;
  }
  if (!now.empty() && !*reported) {
    *reported = true;
    SetLost(SERIAL_PORT_OTHER_DEVICE);
    m_port.ReportState(SERIAL_PORT_OTHER_DEVICE);
  }
  if (now.empty() && *reported) {
    *reported = false;  // gone again: a later appearance is news
    SetLost(SERIAL_PORT_LOST);
  }
  return false;
}

void CSerialPort::Impl::SetLost(int state) { m_port.m_lost.store(state); }
