#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

SysStep StepOf(int flags) {
  if ((flags & O_CREAT) != 0) return SysStep::kCreate;
  return (flags & O_ACCMODE) == O_RDONLY ? SysStep::kRead : SysStep::kWrite;
}

}  // namespace

SysError OpenRegularFile(const std::string& path, int flags, int* fd, mode_t mode) {
  *fd = -1;
  const SysStep step = StepOf(flags);
  struct stat st {};
  // Before opening: opening a device or a FIFO is already an act (a serial
  // line raises its modem lines, a FIFO waits for its other end).
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return MakeSysError(step, EINVAL);
  // O_NONBLOCK: should a FIFO take the file's place after the check, open
  // returns at once instead of waiting for a writer (or reader).
  const int opened = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
  if (opened < 0) return LastSysError(step);
  if (fstat(opened, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(opened);
    return MakeSysError(step, EINVAL);
  }
  // Should this fail the descriptor stays non-blocking, which a regular file
  // ignores: its reads and writes wait for the disk either way.
  const int status = fcntl(opened, F_GETFL);
  if (status != -1) fcntl(opened, F_SETFL, status & ~O_NONBLOCK);
  *fd = opened;
  return SysError();
}
