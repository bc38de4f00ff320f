// PRIVATE to the Win32 serial engine: <windows.h> the way the engine's files
// include it, without the min and max macros that would break the standard
// library's, and without the parts of the API the engine never uses.
#pragma once

// The engine's event mask constants carry the names and values of the
// macros <windows.h> defines: declared first, the macros that follow stand
// for the same numbers instead of breaking the declarations.
#include "device/serial_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
