// Opening a serial device on Linux: open(2), flock(2), termios2.
#include "serial_open.h"

#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "serial_termios.h"

namespace {

// Only a terminal is opened read-write and locked: opening a FIFO, a file or
// another device would act on it, and a lock on it would keep its real users
// out. Checked before the open and again on the descriptor, in case the path
// changed in between.
SysError OpenTerminal(const std::string& path, int* out) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return LastSysError(SysStep::kOpen);
  if (!S_ISCHR(st.st_mode)) return MakeSysError(SysStep::kOpen, ENOTTY);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return LastSysError(SysStep::kOpen);
  termios2 current{};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || ioctl(fd, TCGETS2, &current) != 0) {
    close(fd);
    return MakeSysError(SysStep::kOpen, ENOTTY);
  }
  *out = fd;
  return SysError();
}

// Exclusive use: the advisory lock holds against every opener that also asks
// for it (root ignores TIOCEXCL, other users do not).
SysError TakeExclusive(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) return LastSysError(SysStep::kLock);
  return SysError();
}

SysError ApplySettings(int fd, const SerialLineSettings& settings) {
  termios2 wanted;
  BuildSerialTermios(settings, &wanted);
  termios2 applied{};
  if (ioctl(fd, TCSETS2, &wanted) != 0 || ioctl(fd, TCGETS2, &applied) != 0) {
    return LastSysError(SysStep::kSettings);
  }
  if (!SerialSpeedAccepted(settings.nBaud, applied.c_ospeed)) return MakeSysError(SysStep::kSettings, EINVAL);
  // RTS and DTR stay low until SetRTS/SetDTR; a driver without modem lines
  // refuses, which is fine.
  int lines = TIOCM_RTS | TIOCM_DTR;
  ioctl(fd, TIOCMBIC, &lines);
  if (ioctl(fd, TCFLSH, TCIOFLUSH) != 0) return LastSysError(SysStep::kSettings);
  return SysError();
}

}  // namespace

int OpenConfigured(const std::string& path, const SerialLineSettings& settings, SerialOpenError* error) {
  int fd = -1;
  SysError failure = OpenTerminal(path, &fd);
  if (!failure.Failed()) {
    failure = TakeExclusive(fd);
    if (failure.Failed()) close(fd);  // not exclusive: the descriptor is all there is to give back
  }
  if (!failure.Failed()) {
    failure = ApplySettings(fd, settings);
    if (failure.Failed()) CloseQuietly(fd);
  }
  if (failure.Failed()) {
    *error = SerialOpenError{failure.step, failure.code, path};
    return -1;
  }
  return fd;
}

void CloseQuietly(int fd) {
  if (fd >= 0) {
    // Another opener may come in once this descriptor is gone; the flock goes
    // with the descriptor, the exclusive-use flag of the tty does not.
    ioctl(fd, TIOCNXCL);
    close(fd);
  }
}
