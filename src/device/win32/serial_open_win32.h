// PRIVATE to the Win32 serial engine (the files of src/device/win32); see
// serial_port_impl.h.
//
// Opening a COM port, step by step: the open of its device path (from
// port_path.h) for overlapped I/O with no sharing, no time-outs, 4096-byte queues,
// the event mask, the line settings over what the port held, RTS and DTR
// low, the queues purged. Each failure is kept with its step and its error
// number, translated here, at the engine's edge.
//
// Any thread; blocks on the driver only.
#pragma once

#include "win32_api.h"

#include <cstdint>
#include <string>

#include "device/serial_open_error.h"
#include "device/serial_settings.h"

// What the messages call a port: its device path upper-cased as a whole,
// without the "\\.\" in front ("\\.\com3" is COM3).
std::string ComPortName(const std::string& devicePath);

// The definition BuildCommDCBA reads: "baud=9600 parity=N data=8 stop=1".
std::string ComLineDefinition(const SerialLineSettings& settings);

// The members set whatever the port held before: no flow control of either
// kind, RTS and DTR left to SetRTS and SetDTR (low), binary, parity checked,
// and no byte dropped (fNull), replaced (fErrorChar) or refused after a line
// error until the error is cleared (fAbortOnError).
void ApplyComRules(DCB* dcb);

// Opens and configures the port at devicePath ("\\.\COM3", upper case):
// the handle, or INVALID_HANDLE_VALUE with the step that failed (kOpen,
// kSettings), its error number and the port's name in *error, the port
// closed again.
HANDLE OpenComPort(const std::string& devicePath, const SerialLineSettings& settings, std::uint32_t eventMask,
                   SerialOpenError* error);

// The error number that means what the Win32 error code means at step. A
// port that another program has open refuses with ERROR_ACCESS_DENIED,
// since COM ports are never shared: at kOpen that is EBUSY, not EACCES.
int ComErrno(SysStep step, DWORD code);
