// The Linux backend of the serial port engine: open(2), termios2 and poll(2).
#include "device/serial_port.h"

#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <sys/inotify.h>

#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/text.h"

#include "device/idle_flush.h"
#include "device/port_path.h"
#include "device/serial_settings.h"

namespace {

// A write gives up when the port has taken no byte for this long: a peer that
// stopped reading must not freeze the thread that writes (at 4800 baud a
// real port takes a byte every 2 ms).
constexpr int kWriteStallMs = 2000;
constexpr std::size_t kReadBlock = SERIAL_READ_BLOCK;
// After a hang-up: no two reopen attempts closer than this, and one at least
// this often without a change in the device's folder (a port that another
// program held opens without one).
constexpr int kReopenSpacingMs = 1000;
constexpr int kReopenQuietMs = 5000;

void CloseQuietly(int fd) {
  if (fd >= 0) {
    // Another opener may come in once this descriptor is gone; the flock goes
    // with the descriptor, the exclusive-use flag of the tty does not.
    ioctl(fd, TIOCNXCL);
    close(fd);
  }
}

// Opens and configures the device; the descriptor, or -1 with the step that
// failed and its error number in *error.
int OpenConfigured(const std::string& path, const SerialLineSettings& settings,
                   SerialOpenError* error) {
  const auto fail = [&](SerialOpenStep step, int code) {
    error->step = step;
    error->code = code;
    error->path = path;
    return -1;
  };
  // Only a terminal is opened read-write and locked: opening a FIFO, a
  // file or another device would act on it, and a lock on it would keep its
  // real users out. Checked before the open and again on the descriptor, in
  // case the path changed in between.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return fail(SerialOpenStep::kOpen, errno);
  if (!S_ISCHR(st.st_mode)) return fail(SerialOpenStep::kOpen, ENOTTY);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(SerialOpenStep::kOpen, errno);
  termios2 current{};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || ioctl(fd, TCGETS2, &current) != 0) {
    close(fd);
    return fail(SerialOpenStep::kOpen, ENOTTY);
  }
  // Exclusive use: the advisory lock holds against every opener that also
  // asks for it (root ignores TIOCEXCL, other users do not).
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    const int code = errno;
    close(fd);
    return fail(SerialOpenStep::kLock, code);
  }
  termios2 wanted;
  BuildSerialTermios(settings, &wanted);
  termios2 applied{};
  if (ioctl(fd, TCSETS2, &wanted) != 0 || ioctl(fd, TCGETS2, &applied) != 0) {
    const int code = errno;
    CloseQuietly(fd);
    return fail(SerialOpenStep::kSettings, code);
  }
  if (!SerialSpeedAccepted(settings.nBaud, applied.c_ospeed)) {
    CloseQuietly(fd);
    return fail(SerialOpenStep::kSettings, EINVAL);
  }
  // RTS and DTR stay low until SetRTS/SetDTR; a driver without modem lines
  // refuses, which is fine.
  int lines = TIOCM_RTS | TIOCM_DTR;
  ioctl(fd, TIOCMBIC, &lines);
  if (ioctl(fd, TCFLSH, TCIOFLUSH) != 0) {
    const int code = errno;
    CloseQuietly(fd);
    return fail(SerialOpenStep::kSettings, code);
  }
  return fd;
}

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

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// ---- a reopen that failed for want of descriptors ----
// Kept apart from the reopen logic on purpose. A reopen that fails with
// EMFILE or ENFILE would fail the same way at every try while the folder
// watch holds a descriptor of its own (with `ulimit -n` at the edge, the
// watch takes the one the lost port gave back): the watch is given up, the
// descriptor freed for the port, and without a watch the next try comes on
// the short pace (kReopenSpacingMs), for as long as the port is lost.
void GiveUpWatchForDescriptors(const SerialOpenError& failure, int* watch, bool* watching) {
  if (failure.code != EMFILE && failure.code != ENFILE) return;
  if (*watch >= 0) close(*watch);
  *watch = -1;
  *watching = false;
}

int MillisecondsSince(std::chrono::steady_clock::time_point then) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - then);
  return static_cast<int>(std::min<long long>(ms.count(), 1 << 30));
}

}  // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() { Close(); }

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

int CSerialPort::Open(std::string port, std::string baud, std::string parity,
                      std::string dataBits, std::string stopBits, std::uint32_t eventMask) {
  CLockScope control(m_threadLock);
  if (m_running.load()) return 1;

  m_openError = SerialOpenError();
  SerialLineSettings settings;
  if (!ParseSerialLineSettings(baud, parity, dataBits, stopBits, &settings)) {
    m_openError.step = SerialOpenStep::kSettingsText;
    m_openError.path = port;
    return 0;
  }
  const PortPathLookup lookup = LookUpSerialDevicePath(port);
  switch (lookup.problem) {
    case PortPathProblem::kNone:
      break;
    case PortPathProblem::kNoDevice:
      m_openError = {SerialOpenStep::kName, 0, port};
      return 0;
    case PortPathProblem::kPortsFile:
      m_openError = {SerialOpenStep::kPortsFile, lookup.code, lookup.file};
      return 0;
    case PortPathProblem::kPortsEntry:
      m_openError = {SerialOpenStep::kPortsEntry, EINVAL, lookup.file};
      return 0;
  }
  const std::string& path = lookup.path;
  const int fd = OpenConfigured(path, settings, &m_openError);
  if (fd < 0) return 0;
  const int stop = eventfd(0, EFD_CLOEXEC);
  if (stop < 0) {
    m_openError = {SerialOpenStep::kReader, errno, path};
    CloseQuietly(fd);
    return 0;
  }
  m_strPath = path;
  m_settings = settings;
  m_reopenRule = ReopenRuleFor(path);
  m_strIdentity = m_reopenRule == SerialReopenRule::kSameDevice ? SerialDeviceIdentity(path) : std::string();
  m_lost.store(0);
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
  m_eventMask = eventMask;

  try {
    m_readerThread = std::thread(&CSerialPort::ReaderMain, this, fd, stop);
  } catch (const std::system_error& e) {
    m_openError = {SerialOpenStep::kReader, e.code().value(), path};
    CloseDescriptors();
    return 0;
  }
  std::unique_lock<std::mutex> lock(m_startMutex);
  m_startCv.wait(lock, [this] { return m_running.load() != 0; });
  return 1;
}

void CSerialPort::CloseDescriptors() {
  CLockScope write(m_writeLock);
  int fd = GetPort();
  SetPort(-1);
  CloseQuietly(fd);
  if (m_hStopEvent >= 0) close(m_hStopEvent);
  m_hStopEvent = -1;
}

void CSerialPort::Close() {
  CLockScope control(m_threadLock);
  if (!m_running.load()) return;
  // Close order: wake the reader and any writer (the stop descriptor stays
  // readable), join the reader, close the descriptors once no writer uses
  // them, and only then report the engine closed.
  const std::uint64_t one = 1;
  while (write(m_hStopEvent, &one, sizeof(one)) < 0 && errno == EINTR) {
  }
  if (m_readerThread.joinable()) m_readerThread.join();
  CloseDescriptors();
  m_lost.store(0);
  m_running.store(0);
}

int CSerialPort::IsOpen() const { return m_running.load() != 0 ? 1 : 0; }

int CSerialPort::IsLost() const { return m_lost.load() != 0 ? 1 : 0; }

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

int CSerialPort::GetPort() {
  CLockScope lock(m_handleLock);
  return m_hPort;
}

void CSerialPort::SetPort(int port) {
  CLockScope lock(m_handleLock);
  FoldErrorCounts();
  m_hPort = port;
  // The driver counts from when it registered the port, not per open.
  if (port >= 0 && ReadErrorCounters(port, &m_errorsAtOpen)) m_bErrorCounters = true;
  m_errorsSeen = m_errorsAtOpen;
}

// Keeps what the descriptor that goes has counted (as last read, if it can
// no longer be asked: a port that hung up answers nothing). Under m_handleLock.
void CSerialPort::FoldErrorCounts() {
  if (m_hPort < 0) return;
  ReadErrorCounters(m_hPort, &m_errorsSeen);
  m_errorsClosed = m_errorsClosed + (m_errorsSeen - m_errorsAtOpen);
  m_errorsAtOpen = m_errorsSeen = SerialErrorCounts();
}

int CSerialPort::GetErrorCounts(SerialErrorCounts* counts) {
  CLockScope lock(m_handleLock);
  if (m_hPort >= 0) ReadErrorCounters(m_hPort, &m_errorsSeen);
  if (!m_bErrorCounters || counts == nullptr) return 0;
  *counts = m_errorsClosed + (m_errorsSeen - m_errorsAtOpen);
  return 1;
}

// ---- reader thread ------------------------------------------------------

void CSerialPort::ReaderMain(int port, int stop) {
  // The stop descriptor stays open until Close has joined this thread; the
  // port descriptor is this thread's to close and replace after a hang-up.
  {
    std::lock_guard<std::mutex> lock(m_startMutex);
    m_running.store(1);
  }
  m_startCv.notify_all();
  bool reopened = false;
  while (!ServePort(port, stop, m_eventMask, reopened)) {
    port = AwaitReopen(port, stop);
    if (port < 0) return;
    reopened = true;
  }
}

bool CSerialPort::ServePort(int port, int stop, std::uint32_t eventMask, bool idleArmed) {
  std::uint8_t buffer[kReadBlock];
  pollfd fds[2] = {{stop, POLLIN, 0},
                   {port, static_cast<short>((eventMask & EV_RXCHAR) ? POLLIN : 0), 0}};
  bool linesReadable = (eventMask & (EV_CTS | EV_DSR | EV_RING | EV_RLSD)) != 0;

  // Set by a block, cleared when the idle time-out has run once: a quiet
  // port costs one wake-up, not one per time-out.

  for (;;) {
    const int idleMs = idleArmed ? m_nIdleMs.load(std::memory_order_acquire) : 0;
    const int n = poll(fds, 2, idleMs > 0 ? idleMs : -1);
    m_nReaderWakeups.fetch_add(1, std::memory_order_relaxed);
    if (n == 0) {  // the idle time-out ran out
      idleArmed = false;
      OnReceiveIdle();
      continue;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      // poll itself failed: fall back to a blocking read of the stop
      // descriptor rather than spinning.
      std::uint64_t value = 0;
      while (read(stop, &value, sizeof(value)) < 0 && errno == EINTR) {
      }
      return true;
    }
    if (fds[0].revents != 0) return true;  // stop signalled
    if (fds[1].revents == 0) continue;

    const short revents = fds[1].revents;
    bool gotData = false;
    bool broken = (revents & (POLLERR | POLLNVAL)) != 0;
    if (revents & POLLIN) {
      const ssize_t got = read(port, buffer, sizeof(buffer));
      if (got > 0) {
        gotData = true;
        OnReceiveBlock(buffer, static_cast<std::size_t>(got));
        idleArmed = true;
      } else if (got == 0) {
        broken = true;  // end of file: the line hung up
      } else if (errno != EAGAIN && errno != EINTR) {
        broken = true;  // EIO: the adapter is gone or the other side closed
      }
    }
    // A hang-up with nothing left to read would wake poll at once forever.
    if ((revents & POLLHUP) && !gotData) broken = true;
    if (broken) {
      // The tail that the idle hook would have sent leaves before the loss is
      // reported, not after an outage of unknown length.
      if (idleArmed && m_nIdleMs.load(std::memory_order_acquire) > 0) OnReceiveIdle();
      return false;
    }
    if (linesReadable) RunLineHooks(port, eventMask, &linesReadable);
  }
}

int CSerialPort::TryReopen(SerialOpenError* error) {
  const int fd = OpenConfigured(m_strPath, m_settings, error);
  if (fd < 0) return -1;
  CLockScope write(m_writeLock);
  SetPort(fd);
  return fd;
}

bool CSerialPort::IsSameDeviceBack(bool* reported) {
  if (m_reopenRule != SerialReopenRule::kSameDevice || m_strIdentity.empty()) return true;
  const std::string now = SerialDeviceIdentity(m_strPath);
  if (now == m_strIdentity) {
    *reported = false;
    return true;
  }
  if (!now.empty() && !*reported) {
    *reported = true;
    m_lost.store(SERIAL_PORT_OTHER_DEVICE);
    ReportState(SERIAL_PORT_OTHER_DEVICE);
  }
  if (now.empty() && *reported) {
    *reported = false;  // gone again: a later appearance is news
    m_lost.store(SERIAL_PORT_LOST);
  }
  return false;
}

int CSerialPort::AwaitReopen(int lost, int stop) {
  {
    // No writer is using the descriptor once the lock is ours; later writers
    // find none and fail at once.
    CLockScope write(m_writeLock);
    SetPort(-1);
    CloseQuietly(lost);
  }

  // The device's folder: a re-plugged adapter's node (or its stable name's
  // link) appears there, and udev changes its owner and mode there. Watched
  // before the loss is reported, so that no change after the report is missed.
  const std::string folder = FolderOf(m_strPath);
  const bool never = m_reopenRule == SerialReopenRule::kNever;
  int watch = never ? -1 : inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  bool watching = false;
  const auto addWatch = [&] {
    if (watch >= 0 && !watching) {
      watching = inotify_add_watch(watch, folder.c_str(),
                                   IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF) >= 0;
    }
  };
  addWatch();

  m_lost.store(never ? SERIAL_PORT_GONE : SERIAL_PORT_LOST);
  ReportState(never ? SERIAL_PORT_GONE : SERIAL_PORT_LOST);
  if (never) {
    // Nothing to wait for but Close.
    pollfd fd = {stop, POLLIN, 0};
    while (poll(&fd, 1, -1) < 0 && errno == EINTR) {
    }
    return -1;
  }

  auto lastTry = std::chrono::steady_clock::now();
  bool changed = false;
  bool otherReported = false;
  int port = -1;
  for (;;) {
    const int since = MillisecondsSince(lastTry);
    int timeout;
    if (changed || !watching) {
      timeout = std::max(0, kReopenSpacingMs - since);
    } else {
      timeout = std::max(0, kReopenQuietMs - since);
    }
    // Once a change is noted the folder is not watched until the next try, so
    // a busy folder wakes the reader no more than twice a second.
    pollfd fds[2] = {{stop, POLLIN, 0}, {watching && !changed ? watch : -1, POLLIN, 0}};
    const int n = poll(fds, 2, timeout);
    m_nReaderWakeups.fetch_add(1, std::memory_order_relaxed);
    if (n < 0 && errno != EINTR) break;  // cannot wait: give up like a Close
    if (n > 0 && fds[0].revents != 0) break;
    if (n > 0 && fds[1].revents != 0) {
      alignas(inotify_event) char events[4096];
      ssize_t got;
      while ((got = read(watch, events, sizeof(events))) > 0) {
        for (ssize_t at = 0; at < got;) {
          const auto* event = reinterpret_cast<const inotify_event*>(events + at);
          if (event->mask & (IN_DELETE_SELF | IN_IGNORED)) watching = false;
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
      }
      changed = true;
    }
    if (MillisecondsSince(lastTry) < (changed || !watching ? kReopenSpacingMs : kReopenQuietMs)) {
      continue;
    }
    lastTry = std::chrono::steady_clock::now();
    changed = false;
    addWatch();  // the folder may have come back with the device
    if (!IsSameDeviceBack(&otherReported)) continue;
    SerialOpenError failure;
    port = TryReopen(&failure);
    if (port >= 0) break;
    GiveUpWatchForDescriptors(failure, &watch, &watching);
  }
  if (watch >= 0) close(watch);
  if (port >= 0) {
    m_lost.store(0);
    ReportState(SERIAL_PORT_BACK);
  }
  return port;
}

void CSerialPort::RunLineHooks(int port, std::uint32_t eventMask, bool* linesReadable) {
  int bits = 0;
  if (ioctl(port, TIOCMGET, &bits) != 0) {
    // A driver without modem lines (a pseudo-terminal) never will have them.
    if (errno == ENOTTY || errno == EINVAL) *linesReadable = false;
    return;
  }
  if (eventMask & EV_CTS) OnCTS((bits & TIOCM_CTS) ? 1 : 0);
  if (eventMask & EV_DSR) OnDSR((bits & TIOCM_DSR) ? 1 : 0);
  if (eventMask & EV_RING) OnRING((bits & TIOCM_RNG) ? 1 : 0);
  if (eventMask & EV_RLSD) OnRLSD((bits & TIOCM_CAR) ? 1 : 0);
}

// ---- writing and the modem lines -----------------------------------------

int CSerialPort::Write(const void* data, int length) {
  if (length < 0 || (length > 0 && data == nullptr)) return 0;
  return WriteAll(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length));
}

int CSerialPort::Write(const std::vector<std::uint8_t>& bytes) {
  return WriteAll(bytes.data(), bytes.size());
}

int CSerialPort::WriteAll(const std::uint8_t* data, std::size_t length) {
  CLockScope lock(m_writeLock);
  if (!m_running.load()) return 0;
  const int port = GetPort();
  const int stop = m_hStopEvent;
  if (port < 0 || stop < 0) return 0;

  using Clock = std::chrono::steady_clock;
  Clock::time_point lastProgress = Clock::now();
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = write(port, data + done, length - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      lastProgress = Clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return 0;  // EIO after a hang-up, among others

    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastProgress);
    const long long left = kWriteStallMs - waited.count();
    if (left <= 0) return 0;
    pollfd fds[2] = {{stop, POLLIN, 0}, {port, POLLOUT, 0}};
    const int ready = poll(fds, 2, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return 0;
    if (ready <= 0) continue;
    if (fds[0].revents != 0) return 0;  // Close
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return 0;
  }
  return 1;
}

int CSerialPort::SetLine(int bit, int state) {
  if (!m_running.load()) return 0;
  CLockScope lock(m_handleLock);
  if (m_hPort < 0) return 0;
  int bits = bit;
  ioctl(m_hPort, state == 1 ? TIOCMBIS : TIOCMBIC, &bits);
  return 1;
}

int CSerialPort::GetLine(int bit, int* state) {
  if (state == nullptr || !m_running.load()) return 0;
  CLockScope lock(m_handleLock);
  if (m_hPort < 0) return 0;
  int bits = 0;
  if (ioctl(m_hPort, TIOCMGET, &bits) != 0) return 0;
  *state = (bits & bit) ? 1 : 0;
  return 1;
}

int CSerialPort::SetRTS(int state) { return SetLine(TIOCM_RTS, state); }
int CSerialPort::SetDTR(int state) { return SetLine(TIOCM_DTR, state); }
int CSerialPort::GetCTS(int* state) { return GetLine(TIOCM_CTS, state); }
int CSerialPort::GetDSR(int* state) { return GetLine(TIOCM_DSR, state); }
int CSerialPort::GetRLSD(int* state) { return GetLine(TIOCM_CAR, state); }
int CSerialPort::GetRING(int* state) { return GetLine(TIOCM_RNG, state); }

// ---- the cause of a failed open ------------------------------------------

bool ReadDeviceAccess(const std::string& path, DeviceAccess* access) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  const group* grp = getgrgid(st.st_gid);
  access->group = grp != nullptr ? grp->gr_name : StrFormat("%u", static_cast<unsigned>(st.st_gid));
  const passwd* owner = getpwuid(st.st_uid);
  access->owner = owner != nullptr ? owner->pw_name : StrFormat("%u", static_cast<unsigned>(st.st_uid));
  access->mode = static_cast<unsigned>(st.st_mode & 07777);
  bool inGroup = getegid() == st.st_gid;
  gid_t groups[256];
  const int count = getgroups(256, groups);
  for (int i = 0; i < count && !inGroup; ++i) inGroup = groups[i] == st.st_gid;
  access->groupWouldHelp = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && !inGroup;
  return true;
}

std::string DescribeSerialOpenError(const SerialOpenError& error, Wording wording) {
  const SysError cause{error.step, error.code};
  if (!cause.Failed()) return std::string();
  const bool chinese = wording == Wording::kChinese;
  std::string words = DescribeCause(cause, CauseSubject{error.path, std::string()}, wording);
  const bool opening = error.step == SerialOpenStep::kOpen || error.step == SerialOpenStep::kLock;
  DeviceAccess access;
  if (opening && (error.code == EACCES || error.code == EPERM) && ReadDeviceAccess(error.path, &access)) {
    // The cure depends on who may use the device: joining its group helps
    // only when that group may read and write it; a device only its owner
    // may use needs the owner or an administrator.
    if (access.groupWouldHelp) {
      words += chinese ? StrFormat("（请把当前用户加入 %s 组：sudo adduser $USER %s，然后重新登录）",
                                   access.group.c_str(), access.group.c_str())
                       : StrFormat(" (its group %s may: sudo adduser $USER %s, then log in again)",
                                   access.group.c_str(), access.group.c_str());
    } else {
      words += chinese ? StrFormat("（该设备属于用户 %s、%s 组，权限 %04o，当前用户不能读写；请设备的所有者或管理员授权）",
                                   access.owner.c_str(), access.group.c_str(), access.mode)
                       : StrFormat(" (owner %s, group %s, mode %04o: only its owner or an administrator can grant access)",
                                   access.owner.c_str(), access.group.c_str(), access.mode);
    }
  }
  return chinese ? "原因：" + words : words;
}
