#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int OpenRegularFile(const std::string& path, int flags, mode_t mode) {
  struct stat st {};
  // Before opening: opening a device or a FIFO is already an act (a serial
  // line raises its modem lines, a FIFO waits for its other end).
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  // O_NONBLOCK: should a FIFO take the file's place after the check, open
  // returns at once instead of waiting for a writer (or reader).
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  const int status = fcntl(fd, F_GETFL);
  if (status != -1) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return fd;
}
