#include "platform/sys_error.h"

#include <cerrno>
#include <cstring>

SysError LastSysError(SysStep step) { return SysError{step, errno}; }

std::string SystemErrorText(int code) { return std::strerror(code); }
