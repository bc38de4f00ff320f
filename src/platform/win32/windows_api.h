// PRIVATE to the Windows side of the program: <windows.h> without the
// macros that would rename the program's own functions. The INI functions
// carry the names of the system's (GetPrivateProfileString), and
// <windows.h> turns those names into ...A or ...W. Include this instead of
// <windows.h> wherever the program's functions of those names are used too.
// (GetTickCount is a function there, not a macro: a file that needs the
// system's must not include platform/tick_count.h.)
#pragma once

#include <windows.h>

#undef GetPrivateProfileString
#undef WritePrivateProfileString
