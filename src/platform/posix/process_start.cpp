#include "platform/process_start.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool MakeStandardDescriptorsValid() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open returns the lowest free number, which is fd itself: the lower
    // ones are valid by now.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd) {
      if (opened >= 0) close(opened);
      return false;
    }
  }
  return true;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return arguments;
}

void DiscardStandardOutput() {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);  // dup2 leaves descriptor 1 without O_CLOEXEC
    close(null);
  }
}
