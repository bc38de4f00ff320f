// The Linux serial engine: CSerialPort's open and close, writing, the modem
// lines and the driver's error counters, over a descriptor and an eventfd.
// Opening's steps are in serial_open.cpp, the reader in serial_reader.cpp.
#include <errno.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <system_error>

#include "platform/tick_count.h"
#include "port_watch.h"
#include "serial_open.h"
#include "serial_port_impl.h"

namespace {

// A write gives up when the port has taken no byte for this long: a peer that
// stopped reading must not freeze the thread that writes (at 4800 baud a
// real port takes a byte every 2 ms).
constexpr std::uint32_t kWriteStallMs = 2000;

// The driver's counters (TIOCGICOUNT); false when it keeps none (a
// pseudo-terminal: EINVAL or ENOTTY) or the port is gone.
bool ReadErrorCounters(int fd, SerialErrorCounts* counts) {
  serial_icounter_struct icount{};
  if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  counts->overrun = static_cast<std::uint32_t>(icount.overrun);
  counts->bufferOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
  counts->parity = static_cast<std::uint32_t>(icount.parity);
  counts->frame = static_cast<std::uint32_t>(icount.frame);
  return true;
}

// Waits until the port takes more, Close comes or the stall time runs out
// (since lastProgress); success to write on, else why not.
SysError AwaitRoomToWrite(int port, int stop, std::uint32_t lastProgress) {
  const std::uint32_t waited = GetTickCount() - lastProgress;  // unsigned: right across a wrap
  if (waited >= kWriteStallMs) return MakeSysError(SysStep::kWrite, ETIMEDOUT);
  pollfd fds[2] = {{stop, POLLIN, 0}, {port, POLLOUT, 0}};
  const int ready = poll(fds, 2, static_cast<int>(kWriteStallMs - waited));
  if (ready < 0 && errno != EINTR) return LastSysError(SysStep::kWrite);
  if (ready <= 0) return SysError();  // interrupted or timed out: the next write tells
  if (fds[0].revents != 0) return MakeSysError(SysStep::kWrite, ECANCELED);  // Close
  if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return MakeSysError(SysStep::kWrite, EIO);
  return SysError();
}

}  // namespace

CSerialPort::CSerialPort() : m_pImpl(std::make_unique<Impl>(*this)) {}

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::OpenDevice(const std::string& path, const SerialLineSettings& settings,
                             std::uint32_t eventMask) {
  const int fd = OpenConfigured(path, settings, &m_openError);
  if (fd < 0) return false;
  m_pImpl->Remember(path, settings, eventMask);
  return m_pImpl->StartReader(fd, &m_openError);
}

void CSerialPort::CloseDevice() {
  // Wake the reader and any writer (the stop descriptor stays readable), join
  // the reader, and close the descriptors once no writer uses them.
  m_pImpl->StopReader();
  m_pImpl->CloseDescriptors();
}

SysError CSerialPort::WriteAll(const std::uint8_t* data, std::size_t length) {
  CLockScope lock(m_pImpl->m_writeLock);
  if (!m_running.load()) return MakeSysError(SysStep::kWrite, EBADF);
  const int port = m_pImpl->GetPort();
  const int stop = m_pImpl->m_hStopEvent;
  // No descriptor while the port is lost: the reader closed the one that hung up.
  if (port < 0 || stop < 0) return MakeSysError(SysStep::kWrite, EIO);

  std::uint32_t lastProgress = GetTickCount();
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = write(port, data + done, length - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      lastProgress = GetTickCount();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return LastSysError(SysStep::kWrite);  // EIO after a hang-up, among others
    const SysError waited = AwaitRoomToWrite(port, stop, lastProgress);
    if (waited.Failed()) return waited;
  }
  return SysError();
}

bool CSerialPort::SetRTS(int state) { return m_pImpl->SetLine(TIOCM_RTS, state); }
bool CSerialPort::SetDTR(int state) { return m_pImpl->SetLine(TIOCM_DTR, state); }
bool CSerialPort::GetCTS(int* state) { return m_pImpl->GetLine(TIOCM_CTS, state); }
bool CSerialPort::GetDSR(int* state) { return m_pImpl->GetLine(TIOCM_DSR, state); }
bool CSerialPort::GetRLSD(int* state) { return m_pImpl->GetLine(TIOCM_CAR, state); }
bool CSerialPort::GetRING(int* state) { return m_pImpl->GetLine(TIOCM_RNG, state); }

bool CSerialPort::GetErrorCounts(SerialErrorCounts* counts) {
  Impl& impl = *m_pImpl;
  CLockScope lock(impl.m_handleLock);
  // A port that no longer answers (it hung up) keeps the counts last read.
  if (impl.m_hPort >= 0) ReadErrorCounters(impl.m_hPort, &impl.m_errorsSeen);
  if (!impl.m_bErrorCounters || counts == nullptr) return false;
  *counts = impl.m_errorsClosed + (impl.m_errorsSeen - impl.m_errorsAtOpen);
  return true;
}

// ---- CSerialPort::Impl: the descriptors -----------------------------------

void CSerialPort::Impl::Remember(const std::string& path, const SerialLineSettings& settings,
                                 std::uint32_t eventMask) {
  m_strPath = path;
  m_settings = settings;
  m_reopenRule = ReopenRuleFor(path);
  m_strIdentity = m_reopenRule == SerialReopenRule::kSameDevice ? SerialDeviceIdentity(path) : std::string();
  m_strPtyLink = PtyLinkState(path);
  m_eventMask = eventMask;
}

bool CSerialPort::Impl::StartReader(int fd, SerialOpenError* error) {
  const int stop = eventfd(0, EFD_CLOEXEC);
  if (stop < 0) {
    *error = SerialOpenError{SerialOpenStep::kReader, errno, m_strPath};
    CloseQuietly(fd);
    return false;
  }
  m_port.m_lost.store(0);
  {
    CLockScope lock(m_handleLock);
    m_errorsClosed = SerialErrorCounts();
    m_bErrorCounters = false;
  }
  {
    CLockScope write(m_writeLock);
    m_hStopEvent = stop;
    SetPort(fd);
  }
  try {
    m_readerThread = std::thread(&Impl::ReaderMain, this, fd, stop);
  } catch (const std::system_error& e) {
    *error = SerialOpenError{SerialOpenStep::kReader, e.code().value(), m_strPath};
    CloseDescriptors();
    return false;
  }
  std::unique_lock<std::mutex> lock(m_startMutex);
  m_startCv.wait(lock, [this] { return m_port.m_running.load() != 0; });
  return true;
}

void CSerialPort::Impl::StopReader() {
  // Only EINTR is retried: an eventfd write fails otherwise only when its
  // counter would overflow, which one write of 1 cannot do.
  const std::uint64_t one = 1;
  while (write(m_hStopEvent, &one, sizeof(one)) < 0 && errno == EINTR) {
  }
  if (m_readerThread.joinable()) m_readerThread.join();
}

void CSerialPort::Impl::CloseDescriptors() {
  CLockScope write(m_writeLock);
  int fd = GetPort();
  SetPort(-1);
  CloseQuietly(fd);
  if (m_hStopEvent >= 0) close(m_hStopEvent);
  m_hStopEvent = -1;
}

int CSerialPort::Impl::GetPort() {
  CLockScope lock(m_handleLock);
  return m_hPort;
}

void CSerialPort::Impl::SetPort(int port) {
  CLockScope lock(m_handleLock);
  FoldErrorCounts();
  m_hPort = port;
  // The driver counts from when it registered the port, not per open.
  if (port >= 0 && ReadErrorCounters(port, &m_errorsAtOpen)) m_bErrorCounters = true;
  m_errorsSeen = m_errorsAtOpen;
}

// Keeps what the descriptor that goes has counted (as last read, if it can
// no longer be asked: a port that hung up answers nothing). Under m_handleLock.
void CSerialPort::Impl::FoldErrorCounts() {
  if (m_hPort < 0) return;
  ReadErrorCounters(m_hPort, &m_errorsSeen);
  m_errorsClosed = m_errorsClosed + (m_errorsSeen - m_errorsAtOpen);
  m_errorsAtOpen = m_errorsSeen = SerialErrorCounts();
}

bool CSerialPort::Impl::SetLine(int bit, int state) {
  if (!m_port.m_running.load()) return false;
  CLockScope lock(m_handleLock);
  if (m_hPort < 0) return false;
  int bits = bit;
  // Refused by a driver without modem lines (a pseudo-terminal); the request
  // counts as made all the same, as callers expect of an open port.
  ioctl(m_hPort, state == 1 ? TIOCMBIS : TIOCMBIC, &bits);
  return true;
}

bool CSerialPort::Impl::GetLine(int bit, int* state) {
  if (state == nullptr || !m_port.m_running.load()) return false;
  CLockScope lock(m_handleLock);
  if (m_hPort < 0) return false;
  int bits = 0;
  if (ioctl(m_hPort, TIOCMGET, &bits) != 0) return false;
  *state = (bits & bit) ? 1 : 0;
  return true;
}
