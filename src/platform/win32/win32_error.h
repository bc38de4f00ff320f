// PRIVATE to the Windows side of the platform and device layers: the one
// crossing from Win32 and Windows Sockets error numbers (GetLastError,
// WSAGetLastError) into the platform's error vocabulary (sys_error.h).
// Every Win32 backend translates here, at its edge, and nowhere else.
//
// Any thread; nothing blocks.
#pragma once

#include "platform/sys_error.h"

// The errno value that means what code means; a code that none matches
// becomes SYS_ERROR_FOREIGN + code, worded by the system (SystemErrorText).
// 0 stays 0.
int ErrnoFromWin32(unsigned long code);

// The failure at step with that Win32 or Windows Sockets error.
inline SysError Win32SysError(SysStep step, unsigned long code) { return SysError{step, ErrnoFromWin32(code)}; }
