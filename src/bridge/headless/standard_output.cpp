#include "bridge/headless/standard_output.h"

#include <cerrno>
#include <cstdio>

#include "bridge/headless/bridge_texts.h"
#include "platform/process_start.h"
#include "platform/sys_error.h"
#include "platform/terminal_text.h"

void FlushStandardOutput() {
  if (std::fflush(stdout) == 0) return;
  const int code = errno;
  PrintTerminal(stderr, Tr("quillon-bridge: standard output failed (%s); going on without it\n"),
                SystemErrorText(code).c_str());
  std::fflush(stderr);
  DiscardStandardOutput();
  std::clearerr(stdout);
}
